#pragma once
// What every symbol of one version shares, worked out once per encoder as bit
// rows and columns: the function patterns, the free modules, and the placement
// of message bits as runs of whole column pairs.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "FunctionPatterns.h"
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
    int32_t width = 0;
    int32_t height = 0;
    int32_t n = 0;                // width: modules per side of a square symbol
    int32_t stride = 0;           // width + 3, the module buffer's row length
    std::vector<QRBits> darkRows; // dark function modules and version information
    std::vector<QRBits> freeRows; // modules that carry message bits
    std::vector<QRBits> freeColumns;
    std::vector<Run> runs;
    std::vector<Single> singles;

    // A QR version, 1..40.
    explicit QRLayout(int32_t version);
    // Any family's function modules, placed in the zigzag over column pairs from
    // the right; skippedColumn (QR's vertical timing, 6) takes no part in the pairs.
    QRLayout(FunctionMap functions, std::optional<int32_t> skippedColumn, int32_t version);

    // The dark function modules as columns, for mask evaluation.
    const std::vector<QRBits>& DarkColumns() const { return darkColumns_; }

    // Message bits (codewords, most significant bit first, remainder bits 0) as
    // columns of the symbol; columns must hold width entries, all empty.
    void PlaceMessage(const std::vector<uint8_t>& codewords, std::vector<QRBits>& columns) const;

private:
    std::vector<QRBits> darkColumns_;
    void PlanPlacement(std::optional<int32_t> skippedColumn);
};

// 1 where mask pattern `mask` (0..7) inverts module (x, y).
constexpr bool MaskBit(int32_t mask, int32_t x, int32_t y)
{
    switch (mask) {
    case 0: return (x + y) % 2 == 0;
    case 1: return y % 2 == 0;
    case 2: return x % 3 == 0;
    case 3: return (x + y) % 3 == 0;
    case 4: return (y / 2 + x / 3) % 2 == 0;
    case 5: return (x * y) % 2 + (x * y) % 3 == 0;
    case 6: return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
    default: return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
    }
}

// Every condition depends on x mod 6 and y mod 12 only: 12 rows and 6 columns of
// 192 modules hold a mask's every line, made at compile time.
struct MaskTiles {
    QRBits rows[8][12];
    QRBits columns[8][6];
    constexpr MaskTiles() : rows{}, columns{}
    {
        for (int32_t mask = 0; mask < 8; ++mask)
            for (int32_t i = 0; i < 192; ++i) {
                for (int32_t y = 0; y < 12; ++y)
                    if (MaskBit(mask, i, y)) rows[mask][y].Set(i);
                for (int32_t x = 0; x < 6; ++x)
                    if (MaskBit(mask, x, i)) columns[mask][x].Set(i);
            }
    }
};
inline constexpr MaskTiles kMaskTiles;

// Mask pattern `mask` along row y, and along column x.
inline const QRBits& MaskRow(int32_t mask, int32_t y) { return kMaskTiles.rows[mask][y % 12]; }
inline const QRBits& MaskColumn(int32_t mask, int32_t x) { return kMaskTiles.columns[mask][x % 6]; }

// The 15 format modules of both copies: (x, y) and the bit of the format word.
struct FormatCell {
    int32_t x, y, bit;
};
std::array<FormatCell, 30> FormatCells(int32_t n);
