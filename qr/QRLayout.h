#pragma once
// What every symbol of one version shares, worked out once per encoder as bit
// rows and columns: the function patterns, the free modules, and the placement
// of message bits as runs of whole column pairs.
#include <array>
#include <cstdint>
#include <vector>

#include "QRBits.h"

struct QRLayout {
    // Rows of a column pair in which both modules are free: their message bits
    // come two a row, right module first, from bit `bit` of the message on.
    struct Run {
        uint16_t bit;
        uint8_t left;  // left column of the pair
        uint8_t first; // first row visited
        uint8_t rows;
        bool upward;
    };
    // A free module whose neighbour in its column pair is not free.
    struct Single {
        uint16_t bit;
        uint8_t x, y;
    };

    int32_t version = 0;
    int32_t n = 0;      // modules per side
    int32_t stride = 0; // n + 3, the module buffer's row length
    std::vector<QRBits> darkRows;  // dark function modules and version information
    std::vector<QRBits> freeRows;  // modules that carry message bits
    std::vector<QRBits> darkColumns;
    std::vector<QRBits> freeColumns;
    std::vector<Run> runs;
    std::vector<Single> singles;

    explicit QRLayout(int32_t version);

    // Message bits (codewords, most significant bit first, remainder bits 0) as
    // columns of the symbol; columns must hold n entries, all empty.
    void PlaceMessage(const std::vector<uint8_t>& codewords, std::vector<QRBits>& columns) const;

private:
    void AddVersionInformation();
    void PlanPlacement();
};

// 1 where mask pattern `mask` (0..7) inverts module (x, y).
bool MaskBit(int32_t mask, int32_t x, int32_t y);
// Mask pattern `mask` along row y, and along column x: the patterns repeat every
// 6 columns and every 12 rows, so 18 bit sets a mask hold every line.
const QRBits& MaskRow(int32_t mask, int32_t y);
const QRBits& MaskColumn(int32_t mask, int32_t x);

// The 15 format modules of both copies: (x, y) and the bit of the format word.
struct FormatCell {
    int32_t x, y, bit;
};
std::array<FormatCell, 30> FormatCells(int32_t n);
