#pragma once
// What every symbol of one version shares, worked out once per encoder: the
// order in which message bits fill the free modules, and the finished function
// patterns with each mask already applied to the free modules.
#include <array>
#include <cstdint>
#include <vector>

#include "QRBits.h"

struct QRLayout {
    int32_t version = 0;
    int32_t n = 0;      // modules per side
    int32_t stride = 0; // n + 3
    // Buffer index (y * stride + x) of each free module, in placement order.
    std::vector<uint16_t> order;
    // 1 for free modules, 0 elsewhere (stride * stride bytes).
    std::vector<uint8_t> free;
    // Function patterns and version information, free modules 0, format cells 0.
    std::vector<uint8_t> unmasked;
    // The same with mask k applied to the free modules; built when first needed.
    std::array<std::vector<uint8_t>, 8> masked;
    // Mask k over the free modules, as bit rows; built when first needed.
    std::array<std::vector<QRBits>, 8> maskRows;
    std::array<std::vector<QRBits>, 8> maskColumns;

    explicit QRLayout(int32_t version);
    const std::vector<uint8_t>& Masked(int32_t mask);
    const std::vector<QRBits>& MaskRows(int32_t mask);
    const std::vector<QRBits>& MaskColumns(int32_t mask);
};

bool MaskBit(int32_t mask, int32_t x, int32_t y);

// The 15 format modules of both copies: (x, y) and the bit of the format word.
struct FormatCell {
    int32_t x, y, bit;
};
std::array<FormatCell, 30> FormatCells(int32_t n);
