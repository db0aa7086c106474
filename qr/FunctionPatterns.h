#pragma once
// The function patterns of every symbol family, drawn as bit rows: which modules
// are dark, and which are taken (patterns, separators, reserved format and
// version cells) so that no data goes there. Later marks win over earlier ones;
// anything outside the symbol is clipped.
#include <cstdint>
#include <span>
#include <vector>

#include "QRBits.h"

struct FunctionMap {
    int32_t width = 0;  // up to 192
    int32_t height = 0; // up to 192
    std::vector<QRBits> dark;
    std::vector<QRBits> used;
    QRBits inside; // the modules 0 .. width - 1 of a row

    FunctionMap(int32_t width, int32_t height);

    // count (<= 64) modules of row y from x on become function modules; bit i of
    // darkBits makes module x + i dark, the others light.
    void Mark(int32_t x, int32_t y, uint64_t darkBits, int32_t count) { MarkBlock(x, y, {&darkBits, 1}, count); }
    // The same for rows.size() rows from row y on, rows[r] the dark bits of row y + r.
    void MarkBlock(int32_t x, int32_t y, std::span<const uint64_t> rows, int32_t count);
    // The modules of span in row y become function modules, those of darkBits dark.
    void MarkRow(int32_t y, const QRBits& span, const QRBits& darkBits)
    {
        if (y < 0 || y >= height) return;
        const QRBits inSpan = span & inside;
        QRBits& d = dark[static_cast<size_t>(y)];
        d = (d & ~inSpan) | (darkBits & inSpan);
        used[static_cast<size_t>(y)] = used[static_cast<size_t>(y)] | inSpan;
    }
    // A light (or reserved) rectangle.
    void Reserve(int32_t x, int32_t y, int32_t w, int32_t h);
    void SetDark(int32_t x, int32_t y) { Mark(x, y, 1, 1); }
    // The modules inside the symbol that are not taken.
    std::vector<QRBits> FreeRows() const;
};

// A small picture, row by row, bit i of a row the module x + i: finders, alignment
// and corner patterns alike.
void DrawPattern(FunctionMap& map, int32_t x, int32_t y, std::span<const uint64_t> rows, int32_t width);
// A 7 x 7 finder with its top-left module at (x, y), ringed by its light separator.
void DrawFinder(FunctionMap& map, int32_t x, int32_t y);
// A 5 x 5 pattern of rings (dark, light, dark centre) centred on (cx, cy): QR's
// alignment pattern, rMQR's sub-finder.
void DrawAlignment(FunctionMap& map, int32_t cx, int32_t cy);
// Alignment patterns centred on row cy at the columns cxs (each 2 or more), a
// row operation per pattern row.
void DrawAlignmentRow(FunctionMap& map, int32_t cy, std::span<const int32_t> cxs);
// Timing along row y (modules from .. to - 1) or column x, dark on even coordinates.
void DrawTimingRow(FunctionMap& map, int32_t y, int32_t from, int32_t to);
void DrawTimingColumn(FunctionMap& map, int32_t x, int32_t from, int32_t to);

// QR: three finders, format cells and the dark module, timing, alignment
// patterns, and the version cells reserved (light).
void DrawQrFunctionPatterns(FunctionMap& map, int32_t version);
// QR versions 7 and up: the version word in both version areas.
void DrawQrVersionInformation(FunctionMap& map, int32_t version);
