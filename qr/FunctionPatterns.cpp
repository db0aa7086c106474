#include "FunctionPatterns.h"

#include <algorithm>

#include "QRTables.h"

namespace {

// The finder ringed by its separator, 9 x 9.
constexpr uint64_t kFinder[9] = {0x000, 0x0FE, 0x082, 0x0BA, 0x0BA, 0x0BA, 0x082, 0x0FE, 0x000};
constexpr uint64_t kAlignment[5] = {0x1F, 0x11, 0x15, 0x11, 0x1F};

} // namespace

FunctionMap::FunctionMap(int32_t w, int32_t h)
    : width(w), height(h), dark(static_cast<size_t>(h)), used(static_cast<size_t>(h)), inside(QRBits::First(w))
{
}

void FunctionMap::MarkBlock(int32_t x, int32_t y, std::span<const uint64_t> rows, int32_t count)
{
    if (count <= 0 || x >= width || x <= -64) return;
    uint64_t run = count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    const int32_t cut = x < 0 ? -x : 0; // columns left of the symbol
    run >>= cut;
    x += cut;
    // The same words of every row: the span is worked out once.
    const int32_t w = x >> 6, shift = x & 63;
    const bool spills = shift && w < 2;
    const uint64_t low = (run << shift) & inside.w[w], high = spills ? (run >> (64 - shift)) & inside.w[w + 1] : 0;
    const int32_t first = std::max(y, 0), last = std::min(y + static_cast<int32_t>(rows.size()), height);
    for (int32_t r = first; r < last; ++r) {
        const uint64_t bits = rows[static_cast<size_t>(r - y)] >> cut;
        QRBits& d = dark[static_cast<size_t>(r)];
        QRBits& u = used[static_cast<size_t>(r)];
        d.w[w] = (d.w[w] & ~low) | ((bits << shift) & low);
        u.w[w] |= low;
        if (spills) {
            d.w[w + 1] = (d.w[w + 1] & ~high) | ((bits >> (64 - shift)) & high);
            u.w[w + 1] |= high;
        }
    }
}

void FunctionMap::Reserve(int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (w == 1) { // a column: one bit a row, without the row arithmetic of Mark
        if (x < 0 || x >= width) return;
        for (int32_t r = std::max(y, 0); r < std::min(y + h, height); ++r) {
            used[static_cast<size_t>(r)].Set(x);
            dark[static_cast<size_t>(r)].Clear(x);
        }
        return;
    }
    static constexpr uint64_t kLight[192] = {};
    const std::span<const uint64_t> rows(kLight, static_cast<size_t>(std::clamp(h, 0, 192)));
    for (int32_t c = x; c < x + w; c += 64) MarkBlock(c, y, rows, std::min(64, x + w - c));
}

std::vector<QRBits> FunctionMap::FreeRows() const
{
    std::vector<QRBits> rows(static_cast<size_t>(height));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = inside & ~used[y];
    return rows;
}

void DrawPattern(FunctionMap& map, int32_t x, int32_t y, std::span<const uint64_t> rows, int32_t width)
{
    map.MarkBlock(x, y, rows, width);
}

void DrawFinder(FunctionMap& map, int32_t x, int32_t y) { map.MarkBlock(x - 1, y - 1, kFinder, 9); }

void DrawAlignment(FunctionMap& map, int32_t cx, int32_t cy) { DrawPattern(map, cx - 2, cy - 2, kAlignment, 5); }

void DrawAlignmentRow(FunctionMap& map, int32_t cy, std::span<const int32_t> cxs)
{
    for (int32_t d = 0; d < 5; ++d) {
        QRBits span, darkBits;
        for (int32_t cx : cxs) {
            span = span | QRBits::At(0x1F, cx - 2);
            darkBits = darkBits | QRBits::At(kAlignment[d], cx - 2);
        }
        map.MarkRow(cy - 2 + d, span, darkBits);
    }
}

void DrawTimingRow(FunctionMap& map, int32_t y, int32_t from, int32_t to)
{
    constexpr uint64_t kEven = 0x5555555555555555ull;
    for (int32_t x = from; x < to; x += 64) map.Mark(x, y, (x & 1) ? kEven << 1 : kEven, std::min(64, to - x));
}

void DrawTimingColumn(FunctionMap& map, int32_t x, int32_t from, int32_t to)
{
    // Module by module, without the row arithmetic of Mark: a column is one bit a row.
    if (x < 0 || x >= map.width) return;
    for (int32_t y = std::max(from, 0); y < std::min(to, map.height); ++y) {
        const size_t k = static_cast<size_t>(y);
        map.used[k].Set(x);
        if (y & 1) map.dark[k].Clear(x);
        else map.dark[k].Set(x);
    }
}

void DrawQrFunctionPatterns(FunctionMap& map, int32_t version)
{
    const int32_t n = map.width;
    DrawFinder(map, 0, 0);
    DrawFinder(map, n - 7, 0);
    DrawFinder(map, 0, n - 7);
    // Format cells beside the finders, and the dark module among them.
    map.Reserve(0, 8, 9, 1);
    map.Reserve(8, 0, 1, 8);
    map.Reserve(n - 8, 8, 8, 1);
    map.Reserve(8, n - 8, 1, 8);
    map.SetDark(8, n - 8);
    DrawTimingRow(map, 6, 8, n - 8);
    DrawTimingColumn(map, 6, 8, n - 8);
    if (version >= 7) {
        map.Reserve(n - 11, 0, 3, 6);
        map.Reserve(0, n - 11, 6, 3);
    }
    // Alignment patterns at every pair of centres but the three under finders.
    const qrtable::Centres centres = qrtable::AlignmentCentres(version);
    const std::span<const int32_t> all(centres.at.data(), static_cast<size_t>(centres.count));
    for (int32_t j = 0; j < centres.count; ++j) {
        const bool edge = j == 0 || j == centres.count - 1; // rows 6 and n - 7 lose a centre to a finder
        const std::span<const int32_t> xs = j == 0 ? all.subspan(1, all.size() - 2) : edge ? all.subspan(1) : all;
        if (!xs.empty()) DrawAlignmentRow(map, centres.at[static_cast<size_t>(j)], xs);
    }
}

void DrawQrVersionInformation(FunctionMap& map, int32_t version)
{
    if (version < 7) return;
    const int32_t n = map.width, word = qrtable::VersionBits(version);
    for (int32_t j = 0; j < 6; ++j)
        for (int32_t k = 0; k < 3; ++k)
            if ((word >> (3 * j + k)) & 1) {
                map.SetDark(j, n - 11 + k);
                map.SetDark(n - 11 + k, j);
            }
}
