#include "FunctionPatterns.h"

#include <algorithm>

#include "QRTables.h"

namespace {

// bits with bit 0 at module x of a row; bits below module 0 fall off.
QRBits Placed(uint64_t bits, int32_t x)
{
    QRBits b;
    if (x < 0) {
        if (x <= -64) return b;
        bits >>= -x;
        x = 0;
    }
    const int32_t w = x >> 6, shift = x & 63;
    if (w > 2) return b;
    b.w[w] = bits << shift;
    if (shift && w < 2) b.w[w + 1] = bits >> (64 - shift);
    return b;
}

constexpr uint8_t kFinder[7] = {0x7F, 0x41, 0x5D, 0x5D, 0x5D, 0x41, 0x7F};
constexpr uint8_t kAlignment[5] = {0x1F, 0x11, 0x15, 0x11, 0x1F};

} // namespace

FunctionMap::FunctionMap(int32_t w, int32_t h)
    : width(w), height(h), dark(static_cast<size_t>(h)), used(static_cast<size_t>(h))
{
}

void FunctionMap::Mark(int32_t x, int32_t y, uint64_t darkBits, int32_t count)
{
    if (y < 0 || y >= height || count <= 0) return;
    const uint64_t run = count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    const QRBits inside = QRBits::First(width);
    const QRBits span = Placed(run, x) & inside;
    QRBits& d = dark[static_cast<size_t>(y)];
    d = (d & ~span) | (Placed(darkBits & run, x) & inside);
    used[static_cast<size_t>(y)] = used[static_cast<size_t>(y)] | span;
}

void FunctionMap::Reserve(int32_t x, int32_t y, int32_t w, int32_t h)
{
    for (int32_t r = y; r < y + h; ++r)
        for (int32_t c = x; c < x + w; c += 64) Mark(c, r, 0, std::min(64, x + w - c));
}

std::vector<QRBits> FunctionMap::FreeRows() const
{
    const QRBits inside = QRBits::First(width);
    std::vector<QRBits> rows(static_cast<size_t>(height));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = inside & ~used[y];
    return rows;
}

void DrawPattern(FunctionMap& map, int32_t x, int32_t y, std::span<const uint8_t> rows, int32_t width)
{
    for (size_t r = 0; r < rows.size(); ++r) map.Mark(x, y + static_cast<int32_t>(r), rows[r], width);
}

void DrawFinder(FunctionMap& map, int32_t x, int32_t y)
{
    map.Reserve(x - 1, y - 1, 9, 9);
    DrawPattern(map, x, y, kFinder, 7);
}

void DrawAlignment(FunctionMap& map, int32_t cx, int32_t cy) { DrawPattern(map, cx - 2, cy - 2, kAlignment, 5); }

void DrawTimingRow(FunctionMap& map, int32_t y, int32_t from, int32_t to)
{
    constexpr uint64_t kEven = 0x5555555555555555ull;
    for (int32_t x = from; x < to; x += 64) map.Mark(x, y, (x & 1) ? kEven << 1 : kEven, std::min(64, to - x));
}

void DrawTimingColumn(FunctionMap& map, int32_t x, int32_t from, int32_t to)
{
    for (int32_t y = from; y < to; ++y) map.Mark(x, y, (y & 1) ? 0 : 1, 1);
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
    const int32_t last = centres.count - 1;
    for (int32_t i = 0; i < centres.count; ++i)
        for (int32_t j = 0; j < centres.count; ++j)
            if (!((i == 0 && (j == 0 || j == last)) || (j == 0 && i == last)))
                DrawAlignment(map, centres.at[static_cast<size_t>(i)], centres.at[static_cast<size_t>(j)]);
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
