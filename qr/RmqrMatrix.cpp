#include "RmqrMatrix.h"

#include <algorithm>
#include <cstdlib>

#include "RmqrTables.h"

namespace {

constexpr uint8_t kDark = 1, kLight = 2;

struct Grid {
    uint8_t* cells;
    int32_t stride;
    void Set(int32_t x, int32_t y, uint8_t v) const { cells[y * stride + x] = v; }
    uint8_t At(int32_t x, int32_t y) const { return cells[y * stride + x]; }
};

// A square of side 2r + 1 around (cx, cy): dark but for the second ring from the outside (the finder's 7 x 7, the
// sub-finder's 5 x 5, the alignment patterns' 3 x 3 with a light centre).
void DrawRings(const Grid& g, int32_t cx, int32_t cy, int32_t r)
{
    for (int32_t dy = -r; dy <= r; ++dy)
        for (int32_t dx = -r; dx <= r; ++dx)
            g.Set(cx + dx, cy + dy, r - std::max(std::abs(dx), std::abs(dy)) == 1 ? kLight : kDark);
}

// Timing: dark on even coordinates, so every line starts and ends dark on the symbol's edges.
uint8_t Timing(int32_t i) { return i % 2 == 0 ? kDark : kLight; }

// The format cells of one side: bits 0 ... 14 fill a 3 x 5 block column by column from (x0, y0), bits 15 ... 17
// three more cells from (x1, y1): down a column beside the finder, along a row above the sub-finder.
struct FormatArea {
    int32_t x0, y0, x1, y1;
    bool column;
    void Cell(int32_t bit, int32_t& x, int32_t& y) const
    {
        if (bit < 15) {
            x = x0 + bit / 5;
            y = y0 + bit % 5;
        } else {
            x = x1 + (column ? 0 : bit - 15);
            y = y1 + (column ? bit - 15 : 0);
        }
    }
};

FormatArea FinderSide() { return {8, 1, 11, 1, true}; }
FormatArea SubFinderSide(int32_t w, int32_t h) { return {w - 8, h - 6, w - 5, h - 6, false}; }

void ReserveFormat(const Grid& g, const FormatArea& area)
{
    for (int32_t bit = 0; bit < 18; ++bit) {
        int32_t x, y;
        area.Cell(bit, x, y);
        g.Set(x, y, kLight);
    }
}

void WriteFormat(const Grid& g, const FormatArea& area, uint32_t word)
{
    for (int32_t bit = 0; bit < 18; ++bit) {
        int32_t x, y;
        area.Cell(bit, x, y);
        g.Set(x, y, (word >> bit) & 1);
    }
}

} // namespace

void DrawRmqrFunctionPatterns(uint8_t* cells, int32_t stride, int32_t index)
{
    const RmqrSize& s = RmqrSizeAt(index);
    const int32_t w = s.width, h = s.height;
    const Grid g{cells, stride};
    for (int32_t x = 0; x < w; ++x) {
        g.Set(x, 0, Timing(x));
        g.Set(x, h - 1, Timing(x));
    }
    for (int32_t y = 0; y < h; ++y) {
        g.Set(0, y, Timing(y));
        g.Set(w - 1, y, Timing(y));
    }
    // Alignment columns: a vertical timing line between two 3 x 3 patterns on the top and bottom edges.
    for (const int32_t c : RmqrAlignmentColumns(w)) {
        for (int32_t y = 0; y < h; ++y) g.Set(c, y, Timing(y));
        DrawRings(g, c, 1, 1);
        DrawRings(g, c, h - 2, 1);
    }
    // Corner finder patterns top right and bottom left; the finder and its separator overwrite the bottom left one
    // where the symbol is too low to hold both.
    g.Set(w - 2, 0, kDark);
    g.Set(w - 1, 1, kDark);
    g.Set(w - 2, 1, kLight);
    g.Set(0, h - 2, kDark);
    g.Set(1, h - 2, kLight);
    g.Set(1, h - 1, kDark);
    DrawRings(g, w - 3, h - 3, 2); // sub-finder
    DrawRings(g, 3, 3, 3);         // finder
    for (int32_t i = 0; i < 8 && i < h; ++i) g.Set(7, i, kLight);
    if (h > 7)
        for (int32_t i = 0; i < 8; ++i) g.Set(i, 7, kLight);
    ReserveFormat(g, FinderSide());
    ReserveFormat(g, SubFinderSide(w, h));
}

void BuildRmqrModules(uint8_t* cells, int32_t stride, int32_t index, int32_t levelIndex,
                      std::span<const uint8_t> codewords)
{
    const RmqrSize& s = RmqrSizeAt(index);
    const int32_t w = s.width, h = s.height;
    const Grid g{cells, stride};
    DrawRmqrFunctionPatterns(cells, stride, index);

    // Column pairs from the right, the rightmost column (all function modules) left out; the first pair runs up.
    const int32_t bits = static_cast<int32_t>(codewords.size()) * 8;
    int32_t bit = 0;
    bool upward = true;
    for (int32_t right = w - 2; right >= 1; right -= 2, upward = !upward)
        for (int32_t i = 0; i < h; ++i) {
            const int32_t y = upward ? h - 1 - i : i;
            for (int32_t x = right; x >= right - 1; --x) {
                if (g.At(x, y) != 0) continue;
                // Free modules past the codewords are the remainder bits, light before masking.
                int32_t value = 0;
                if (bit < bits) value = (codewords[static_cast<size_t>(bit >> 3)] >> (7 - (bit & 7))) & 1;
                ++bit;
                g.Set(x, y, static_cast<uint8_t>(value ^ (RmqrMaskBit(x, y) ? 1 : 0)));
            }
        }
    // Function modules: light ones to 0; the format cells get their bits.
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (g.At(x, y) == kLight) g.Set(x, y, 0);
    WriteFormat(g, FinderSide(), RmqrFormatBits(levelIndex, index, true));
    WriteFormat(g, SubFinderSide(w, h), RmqrFormatBits(levelIndex, index, false));
}
