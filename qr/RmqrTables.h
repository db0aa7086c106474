#pragma once
// The 32 sizes of rectangular Micro QR (ISO/IEC 23941), R7x43 ... R17x139, numbered 0 ... 31 in the standard's order
// (the number the format information carries), with their capacities, block structure and character-count widths.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "QRSymbol.h"

struct RmqrSize {
    uint8_t height;
    uint8_t width;
    uint16_t totalCodewords;
    uint8_t remainderBits;
    // Per level, M first and H second: blocks and check codewords per block (the same for every block).
    uint8_t blocks[2];
    uint8_t ecPerBlock[2];
    // Character-count widths by segment mode: byte, numeric, alphanumeric, Kanji.
    uint8_t countBits[4];
};

inline constexpr int32_t kRmqrSizes = 32;
// The quiet zone the standard asks for around an rMQR symbol, in modules.
inline constexpr int32_t kRmqrQuietZone = 2;

const RmqrSize& RmqrSizeAt(int32_t index);

// The per-level tables' index: 0 for M, 1 for H, the only two levels rMQR has.
constexpr int32_t RmqrLevelIndex(EcLevel level) { return level == EcLevel::H ? 1 : 0; }

int32_t RmqrDataCodewords(int32_t index, EcLevel level);

// Columns of the alignment patterns' centres for a symbol width (none for width 27).
std::span<const uint8_t> RmqrAlignmentColumns(int32_t width);

// "R11x43" -> its index; none for a name that is not one of the 32 sizes.
std::optional<int32_t> RmqrSizeByName(std::string_view name);
std::string RmqrSizeName(int32_t index);

// The indices in the order an automatic choice tries them: smallest area first, on equal area the shorter height.
const std::array<uint8_t, kRmqrSizes>& RmqrSizesBySmallestArea();

// The 18-bit format word (level bit, five size bits, twelve BCH check bits) as written beside the finder
// (finderSide) or beside the sub-finder: each side has its own mask.
uint32_t RmqrFormatBits(EcLevel level, int32_t index, bool finderSide);
