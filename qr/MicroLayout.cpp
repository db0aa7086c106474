// Micro QR modules: function patterns, data placement, masks and format information.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "MicroParts.h"

namespace micro {

namespace {

constexpr int32_t kMaxSize = 17;
constexpr int32_t kMaxModules = kMaxSize * kMaxSize;

// What every symbol of one version shares: its function modules (1 dark, 2 light or
// format) and the free modules in placement order.
struct Layout {
    int32_t n = 0;
    std::array<uint8_t, kMaxModules> function{};
    std::array<uint16_t, kMaxModules> order{}; // y * n + x of each free module
    int32_t freeCount = 0;

    explicit Layout(int32_t version) : n(Size(version))
    {
        auto set = [&](int32_t x, int32_t y, uint8_t v) { function[static_cast<size_t>(y * n + x)] = v; };
        // Finder (dark ring, light ring, dark centre) and its separator on the inner sides.
        for (int32_t y = 0; y <= 7; ++y)
            for (int32_t x = 0; x <= 7; ++x) {
                const int32_t ring = std::max(std::abs(x - 3), std::abs(y - 3));
                set(x, y, ring == 2 || ring == 4 ? 2 : 1);
            }
        // Timing along the top and left edges, dark on even coordinates.
        for (int32_t i = 8; i < n; ++i) {
            set(i, 0, i % 2 == 0 ? 1 : 2);
            set(0, i, i % 2 == 0 ? 1 : 2);
        }
        // Format information beside the finder.
        for (int32_t i = 1; i <= 8; ++i) {
            set(i, 8, 2);
            set(8, i, 2);
        }
        PlanPlacement();
    }

    // Column pairs from the right edge, upward and downward in turn, right module first.
    void PlanPlacement()
    {
        bool upward = true;
        for (int32_t c = n - 2; c >= 1; c -= 2) {
            for (int32_t k = 0; k < n; ++k) {
                const int32_t y = upward ? n - 1 - k : k;
                for (int32_t x : {c + 1, c})
                    if (function[static_cast<size_t>(y * n + x)] == 0)
                        order[static_cast<size_t>(freeCount++)] = static_cast<uint16_t>(y * n + x);
            }
            upward = !upward;
        }
    }
};

const Layout& LayoutFor(int32_t version)
{
    static const Layout layouts[kVersions] = {Layout(1), Layout(2), Layout(3), Layout(4)};
    return layouts[version - 1];
}

int32_t EdgeScore(int32_t right, int32_t bottom) { return right <= bottom ? right * 16 + bottom : bottom * 16 + right; }

} // namespace

int32_t FormatWord(int32_t symbolNumber, int32_t mask)
{
    const int32_t data = symbolNumber << 2 | mask;
    const int32_t check = clsQRCode::BchRemainder(data, 0x537, 0x400, 10);
    return (data << 10 | check) ^ 0x4445;
}

bool MaskBit(int32_t mask, int32_t x, int32_t y)
{
    // The QR patterns 1, 4, 6 and 7.
    switch (mask) {
    case 0: return y % 2 == 0;
    case 1: return (y / 2 + x / 3) % 2 == 0;
    case 2: return ((x * y) % 2 + (x * y) % 3) % 2 == 0;
    default: return ((x + y) % 2 + (x * y) % 3) % 2 == 0;
    }
}

int32_t MaskScore(const QRSymbol& s)
{
    int32_t right = 0, bottom = 0;
    for (int32_t i = 1; i < s.size; ++i) {
        right += s.Dark(s.size - 1, i);
        bottom += s.Dark(i, s.size - 1);
    }
    return EdgeScore(right, bottom);
}

void BuildModules(QRSymbol& symbol, int32_t symbolNumber, std::span<const uint8_t> codewords, int32_t bitCount,
                  std::optional<int32_t> mask)
{
    const Layout& layout = LayoutFor(symbol.version);
    const int32_t n = layout.n;
    symbol.size = n;
    symbol.stride = n + 3;
    symbol.modules.assign(static_cast<size_t>(symbol.stride * symbol.stride), 0);
    auto at = [&](int32_t cell) -> uint8_t& {
        return symbol.modules[static_cast<size_t>((cell / n) * symbol.stride + cell % n)];
    };
    for (int32_t cell = 0; cell < n * n; ++cell) at(cell) = layout.function[static_cast<size_t>(cell)] == 1;
    // Unmasked data: the codeword bits in placement order; free modules left over stay light.
    for (int32_t b = 0; b < bitCount && b < layout.freeCount; ++b)
        at(layout.order[static_cast<size_t>(b)]) = (codewords[static_cast<size_t>(b >> 3)] >> (7 - (b & 7))) & 1;

    // Only the right and bottom edges decide, and those are all data modules but the timing ends.
    if (!mask) {
        int32_t best = -1;
        for (int32_t m = 0; m < 4; ++m) {
            int32_t right = 0, bottom = 0;
            for (int32_t i = 1; i < n; ++i) {
                right += symbol.Dark(n - 1, i) != MaskBit(m, n - 1, i);
                bottom += symbol.Dark(i, n - 1) != MaskBit(m, i, n - 1);
            }
            const int32_t score = EdgeScore(right, bottom);
            if (score > best) {
                best = score;
                mask = m;
            }
        }
    }
    symbol.mask = *mask;
    for (int32_t k = 0; k < layout.freeCount; ++k) {
        const int32_t cell = layout.order[static_cast<size_t>(k)];
        at(cell) ^= static_cast<uint8_t>(MaskBit(symbol.mask, cell % n, cell / n));
    }
    // F14 .. F7 along row 8 from x = 1, F6 .. F0 up column 8 from y = 7.
    const int32_t word = FormatWord(symbolNumber, symbol.mask);
    for (int32_t i = 0; i < 8; ++i) at(8 * n + 1 + i) = (word >> (14 - i)) & 1;
    for (int32_t i = 0; i < 7; ++i) at((7 - i) * n + 8) = (word >> (6 - i)) & 1;
}

} // namespace micro
