// Micro QR modules: function patterns, data placement, masks and format information.
#include <algorithm>
#include <array>
#include <cstdlib>

#include "MicroParts.h"

namespace micro {

namespace {

constexpr int32_t kMaxSize = 17;
constexpr int32_t kMaxStride = kMaxSize + 3;
constexpr int32_t kMaxFree = 8 * kMaxCodewords;

int32_t EdgeScore(int32_t right, int32_t bottom) { return right <= bottom ? right * 16 + bottom : bottom * 16 + right; }

// What every symbol of one version shares, as offsets into the module buffer: for each mask
// the function modules with the mask over the free ones (the symbol of an all-zero message,
// format aside), the free modules in placement order, the modules of the two edges the mask
// evaluation counts, and the format cells.
struct Layout {
    int32_t n = 0;
    int32_t stride = 0;
    std::array<std::array<uint8_t, kMaxStride * kMaxStride>, 4> image{};
    std::array<uint16_t, kMaxFree> order{};
    int32_t freeCount = 0;
    std::array<int16_t, kMaxSize> rightEdge{}, bottomEdge{}; // placement index of x = n - 1, y = n - 1
    std::array<uint32_t, 4> rightMask{}, bottomMask{};       // bit i: the mask inverts edge module i
    std::array<uint16_t, 15> formatCells{};                  // F14 first

    explicit Layout(int32_t version) : n(Size(version)), stride(n + 3)
    {
        std::array<uint8_t, kMaxSize * kMaxSize> function{}; // 1 dark, 2 light or format
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
        // Format information beside the finder: F14 .. F7 along row 8 from x = 1, F6 .. F0 up
        // column 8 from y = 7.
        for (int32_t i = 0; i < 8; ++i) {
            set(1 + i, 8, 2);
            formatCells[static_cast<size_t>(i)] = static_cast<uint16_t>(8 * stride + 1 + i);
        }
        for (int32_t i = 0; i < 7; ++i) {
            set(8, 7 - i, 2);
            formatCells[static_cast<size_t>(8 + i)] = static_cast<uint16_t>((7 - i) * stride + 8);
        }
        for (int32_t m = 0; m < 4; ++m)
            for (int32_t y = 0; y < n; ++y)
                for (int32_t x = 0; x < n; ++x) {
                    const uint8_t f = function[static_cast<size_t>(y * n + x)];
                    image[static_cast<size_t>(m)][static_cast<size_t>(y * stride + x)] =
                        f == 0 ? MaskBit(m, x, y) : f == 1;
                }
        for (int32_t m = 0; m < 4; ++m)
            for (int32_t i = 1; i < n; ++i) {
                rightMask[static_cast<size_t>(m)] |= static_cast<uint32_t>(MaskBit(m, n - 1, i)) << i;
                bottomMask[static_cast<size_t>(m)] |= static_cast<uint32_t>(MaskBit(m, i, n - 1)) << i;
            }
        PlanPlacement(function);
    }

    // Column pairs from the right edge, upward and downward in turn, right module first.
    void PlanPlacement(const std::array<uint8_t, kMaxSize * kMaxSize>& function)
    {
        bool upward = true;
        for (int32_t c = n - 2; c >= 1; c -= 2) {
            for (int32_t k = 0; k < n; ++k) {
                const int32_t y = upward ? n - 1 - k : k;
                for (int32_t x : {c + 1, c}) {
                    if (function[static_cast<size_t>(y * n + x)] != 0) continue;
                    const size_t at = static_cast<size_t>(freeCount);
                    order[at] = static_cast<uint16_t>(y * stride + x);
                    if (x == n - 1) rightEdge[static_cast<size_t>(y)] = static_cast<int16_t>(freeCount);
                    if (y == n - 1) bottomEdge[static_cast<size_t>(x)] = static_cast<int16_t>(freeCount);
                    ++freeCount;
                }
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

// Message bit k: the data bits, then the check codewords after the whole data codewords (a
// 4-bit last data codeword leaves 4 bits out).
struct MessageBits {
    const uint8_t* codewords;
    int32_t dataBits, skip;

    uint8_t operator[](int32_t k) const
    {
        const int32_t from = k < dataBits ? k : k + skip;
        return (codewords[from >> 3] >> (7 - (from & 7))) & 1;
    }
};

// The mask whose symbol scores best; the two edges hold data modules only (timing ends aside).
int32_t ChooseMask(const Layout& layout, const MessageBits& bits)
{
    uint32_t right = 0, bottom = 0;
    for (int32_t i = 1; i < layout.n; ++i) {
        right |= static_cast<uint32_t>(bits[layout.rightEdge[static_cast<size_t>(i)]]) << i;
        bottom |= static_cast<uint32_t>(bits[layout.bottomEdge[static_cast<size_t>(i)]]) << i;
    }
    int32_t best = -1, chosen = 0;
    for (size_t m = 0; m < 4; ++m) {
        const int32_t score = EdgeScore(__builtin_popcount(right ^ layout.rightMask[m]),
                                        __builtin_popcount(bottom ^ layout.bottomMask[m]));
        if (score > best) {
            best = score;
            chosen = static_cast<int32_t>(m);
        }
    }
    return chosen;
}

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

void BuildModules(QRSymbol& symbol, int32_t symbolNumber, std::span<const uint8_t> codewords, int32_t dataBits,
                  std::optional<int32_t> mask)
{
    const Layout& layout = LayoutFor(symbol.version);
    symbol.size = layout.n;
    symbol.stride = layout.stride;
    const MessageBits bits{codewords.data(), dataBits, (8 - dataBits % 8) % 8};
    symbol.mask = mask ? *mask : ChooseMask(layout, bits);
    const auto& image = layout.image[static_cast<size_t>(symbol.mask)];
    symbol.modules.assign(image.begin(), image.begin() + layout.stride * layout.stride);
    // The masked image holds an all-zero message: each 1 bit of the message inverts its module.
    uint8_t* out = symbol.modules.data();
    const uint16_t* order = layout.order.data();
    auto place = [&](uint32_t byte, int32_t first) {
        for (; byte; byte &= byte - 1) out[order[first + 7 - __builtin_ctz(byte)]] ^= 1;
    };
    const int32_t dataCodewords = (dataBits + 7) / 8;
    for (int32_t j = 0; j < dataCodewords; ++j) place(codewords[static_cast<size_t>(j)], 8 * j);
    // Check codewords start right after the data bits, in M1 and M3 4 bits into the last data byte.
    for (size_t j = static_cast<size_t>(dataCodewords); j < codewords.size(); ++j)
        place(codewords[j], dataBits + 8 * (static_cast<int32_t>(j) - dataCodewords));
    const int32_t word = FormatWord(symbolNumber, symbol.mask);
    for (int32_t i = 0; i < 15; ++i) out[layout.formatCells[static_cast<size_t>(i)]] = (word >> (14 - i)) & 1;
}

} // namespace micro
