// Micro QR modules: function patterns, data placement, masks and format information.
#include <array>
#include <bit>

#include "FunctionPatterns.h"
#include "MicroParts.h"
#include "QRLayout.h"
#include "QRTables.h"

namespace micro {

namespace {

constexpr int32_t kMaxSize = 17;
constexpr int32_t kMaxStride = kMaxSize + 3;
constexpr int32_t kMaxFree = 8 * kMaxCodewords;
// Micro QR's masks 0 .. 3 are QR's patterns 1, 4, 6 and 7.
constexpr int32_t kQrPattern[4] = {1, 4, 6, 7};

bool MaskInverts(int32_t mask, int32_t x, int32_t y) { return MaskBit(kQrPattern[mask], x, y); }

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
        // One finder with its separator, timing along the top and left edges, and the format
        // cells beside the finder: F14 .. F7 along row 8 from x = 1, F6 .. F0 up column 8 from y = 7.
        FunctionMap map(n, n);
        DrawFinder(map, 0, 0);
        DrawTimingRow(map, 0, 8, n);
        DrawTimingColumn(map, 0, 8, n);
        map.Reserve(1, 8, 8, 1);
        map.Reserve(8, 1, 1, 7);
        for (int32_t i = 0; i < 8; ++i) formatCells[static_cast<size_t>(i)] = static_cast<uint16_t>(8 * stride + 1 + i);
        for (int32_t i = 0; i < 7; ++i)
            formatCells[static_cast<size_t>(8 + i)] = static_cast<uint16_t>((7 - i) * stride + 8);
        for (size_t m = 0; m < 4; ++m)
            for (int32_t y = 0; y < n; ++y)
                for (int32_t x = 0; x < n; ++x) {
                    const bool used = map.used[static_cast<size_t>(y)].Get(x);
                    image[m][static_cast<size_t>(y * stride + x)] =
                        used ? map.dark[static_cast<size_t>(y)].Get(x) : MaskInverts(static_cast<int32_t>(m), x, y);
                }
        for (int32_t m = 0; m < 4; ++m)
            for (int32_t i = 1; i < n; ++i) {
                rightMask[static_cast<size_t>(m)] |= static_cast<uint32_t>(MaskInverts(m, n - 1, i)) << i;
                bottomMask[static_cast<size_t>(m)] |= static_cast<uint32_t>(MaskInverts(m, i, n - 1)) << i;
            }
        PlanPlacement(map.FreeRows());
    }

    // Column pairs from the right edge, upward and downward in turn, right module first.
    void PlanPlacement(const std::vector<QRBits>& free)
    {
        bool upward = true;
        for (int32_t c = n - 2; c >= 1; c -= 2) {
            for (int32_t k = 0; k < n; ++k) {
                const int32_t y = upward ? n - 1 - k : k;
                for (int32_t x : {c + 1, c}) {
                    if (!free[static_cast<size_t>(y)].Get(x)) continue;
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
        const int32_t score =
            EdgeScore(std::popcount(right ^ layout.rightMask[m]), std::popcount(bottom ^ layout.bottomMask[m]));
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
    // All 32 words, made once.
    static const std::array<int32_t, 32> words = [] {
        std::array<int32_t, 32> w{};
        for (int32_t data = 0; data < 32; ++data)
            w[static_cast<size_t>(data)] = (data << 10 | qrtable::BchRemainder(data, 0x537, 0x400, 10)) ^ 0x4445;
        return w;
    }();
    return words[static_cast<size_t>(symbolNumber << 2 | mask)];
}

void BuildModules(QRSymbol& symbol, int32_t symbolNumber, std::span<const uint8_t> codewords, int32_t dataBits,
                  std::optional<int32_t> mask)
{
    const Layout& layout = LayoutFor(symbol.version);
    symbol.family = SymbolFamily::Micro;
    symbol.size = symbol.width = symbol.height = layout.n;
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
