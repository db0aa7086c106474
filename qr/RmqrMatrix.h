#pragma once
// The modules of an rMQR symbol: function patterns, placement of the codewords, the one data mask and the two
// copies of the format information.
#include <cstdint>
#include <span>

// Marks the function modules of size `index` in a zeroed buffer of height rows of `stride` bytes: 1 dark, 2 light
// or reserved for format information; free modules stay 0.
void DrawRmqrFunctionPatterns(uint8_t* cells, int32_t stride, int32_t index);

// The whole symbol into a zeroed buffer (1 dark, 0 light): codewords are the interleaved data and check codewords,
// all of them (the size's total).
void BuildRmqrModules(uint8_t* cells, int32_t stride, int32_t index, int32_t levelIndex,
                      std::span<const uint8_t> codewords);

// The data mask: rMQR has a single one, QR Code's pattern 4.
constexpr bool RmqrMaskBit(int32_t x, int32_t y) { return (y / 2 + x / 3) % 2 == 0; }
