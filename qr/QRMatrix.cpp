// Function patterns, format and version information, penalty score.
#include <cstdlib>

#include "QRPenalty.h"
#include "clsQRCode.h"

namespace {

void Set(uint8_t* m, int32_t stride, int32_t x, int32_t y, uint8_t v) { m[y * stride + x] = v; }

void DrawAlignment(uint8_t* m, int32_t stride, int32_t cx, int32_t cy)
{
    for (int32_t dy = -2; dy <= 2; ++dy)
        for (int32_t dx = -2; dx <= 2; ++dx) {
            const bool dark = std::abs(dx) == 2 || std::abs(dy) == 2 || (dx == 0 && dy == 0);
            Set(m, stride, cx + dx, cy + dy, dark ? 1 : 2);
        }
}

} // namespace

void clsQRCode::DrawFunctionPatterns(uint8_t* m, int32_t v)
{
    const int32_t n = SymbolSize(v);
    if (n == 0) return;
    const int32_t s = n + 3;

    for (int32_t a = 0; a < 8; ++a)
        for (int32_t b = 0; b < 8; ++b) {
            const bool light = ((b == 1 || b == 5) && a >= 1 && a <= 5) || ((a == 1 || a == 5) && b >= 1 && b <= 5) ||
                               b == 7 || a == 7;
            const uint8_t value = light ? 2 : 1;
            Set(m, s, b, a, value);
            Set(m, s, n - 1 - b, a, value);
            Set(m, s, b, n - 1 - a, value);
        }

    for (int32_t i = 0; i < 8; ++i) {
        Set(m, s, i, 8, 2);
        Set(m, s, 8, i, 2);
        Set(m, s, n - 1 - i, 8, 2);
        Set(m, s, 8, n - 1 - i, 2);
    }
    Set(m, s, 8, 8, 2);
    Set(m, s, 8, n - 8, 1);

    if (v >= 7)
        for (int32_t y = n - 11; y <= n - 9; ++y)
            for (int32_t x = 0; x <= 6; ++x) {
                Set(m, s, x, y, 2);
                Set(m, s, y, x, 2);
            }

    for (int32_t i = 8; i <= n - 9; ++i) {
        const uint8_t value = (i % 2 == 0) ? 1 : 2;
        Set(m, s, i, 6, value);
        Set(m, s, 6, i, value);
    }

    if (v <= 1) return;
    const int32_t step = AlignmentStep(v);
    for (int32_t cy = n - 7; cy >= 18; cy -= step)
        for (int32_t cx = n - 7; cx >= 18; cx -= step) DrawAlignment(m, s, cx, cy);
    for (int32_t f = n - 7 - step; f >= 18; f -= step) {
        DrawAlignment(m, s, f, 6);
        DrawAlignment(m, s, 6, f);
    }
}

int32_t clsQRCode::BchRemainder(int32_t value, int32_t generator, int32_t topBit, int32_t steps)
{
    uint32_t v = static_cast<uint32_t>(value);
    for (int32_t i = 0; i < steps; ++i) {
        v <<= 1;
        if (v & static_cast<uint32_t>(topBit))
            v = (v ^ static_cast<uint32_t>(generator)) & static_cast<uint32_t>(topBit - 1);
    }
    return static_cast<int32_t>(v);
}

int32_t clsQRCode::FormatBits(int32_t level, int32_t mask)
{
    if (level < 1 || level > 4) level = 2;
    if (mask < 0 || mask > 7) mask = 0;
    const int32_t d = ((level - 1) ^ 1) * 8 + mask;
    return ((d << 10) | BchRemainder(d, 0x537, 0x400, 10)) ^ 0x5412;
}

int32_t clsQRCode::VersionBits(int32_t version) { return (version << 12) | BchRemainder(version, 0x1F25, 0x1000, 12); }

int32_t clsQRCode::PenaltyScore(const QRSymbol& symbol)
{
    std::vector<QRBits> rows(static_cast<size_t>(symbol.size)), columns;
    for (int32_t y = 0; y < symbol.size; ++y)
        for (int32_t x = 0; x < symbol.size; ++x)
            if (symbol.Dark(x, y)) rows[static_cast<size_t>(y)].Set(x);
    TransposeBits(rows, columns, symbol.size);
    return PenaltyFromBits(rows, columns, symbol.size);
}
