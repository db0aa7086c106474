// The encoder entry: version choice, padding, blocks, placement, masking.
#include "clsQRCode.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "QRBitWriter.h"

namespace {

constexpr int32_t kStreamBytes = 4096; // holds the 3706 codewords of version 40 and a stray terminator
constexpr int32_t kFirstVersion[3] = {1, 10, 27};
constexpr int32_t kLastVersion[3] = {9, 26, 40};

// Zigzag placement of the message bits into the free cells (0) of the module
// matrix; the masked bit goes straight into the cell, function cells keep theirs.
void PlaceData(uint8_t* data, const uint8_t* modules, int32_t n, const uint8_t* message, int32_t bitCount)
{
    const int32_t stride = n + 3;
    int32_t bit = 0;
    bool upward = true;
    for (int32_t c = n - 2; c >= 0; c -= 2) {
        if (c == 5) c = 4; // column 6 is the vertical timing pattern
        for (int32_t step = 0; step < n; ++step) {
            const int32_t y = upward ? n - 1 - step : step;
            for (int32_t dx = 1; dx >= 0; --dx) {
                const int32_t x = c + dx;
                if (modules[y * stride + x] != 0) continue;
                if (bit < bitCount) {
                    data[y * n + x] = static_cast<uint8_t>((message[bit >> 3] >> (7 - (bit & 7))) & 1);
                    ++bit;
                }
            }
        }
        upward = !upward;
    }
}

void WriteFormatAndVersion(uint8_t* m, int32_t n, int32_t version, int32_t level, int32_t mask)
{
    const int32_t s = n + 3;
    auto set = [&](int32_t x, int32_t y, int32_t bit) { m[y * s + x] = static_cast<uint8_t>(bit & 1); };
    if (version >= 7) {
        const int32_t word = clsQRCode::VersionBits(version);
        for (int32_t j = 0; j < 6; ++j)
            for (int32_t k = 0; k < 3; ++k) {
                const int32_t bit = word >> (3 * j + k);
                set(j, n - 11 + k, bit);
                set(n - 11 + k, j, bit);
            }
    }
    const int32_t f = clsQRCode::FormatBits(level, mask);
    auto F = [&](int32_t i) { return f >> i; };
    for (int32_t i = 0; i <= 5; ++i) set(i, 8, F(14 - i));
    set(7, 8, F(8));
    set(8, 8, F(7));
    set(8, 7, F(6));
    for (int32_t i = 0; i <= 5; ++i) set(8, 5 - i, F(5 - i));
    for (int32_t i = 0; i <= 6; ++i) set(8, n - 1 - i, F(14 - i));
    for (int32_t i = 0; i <= 7; ++i) set(n - 8 + i, 8, F(7 - i));
}

} // namespace

clsQRCode::clsQRCode() : field_(std::make_shared<clsFiniteField>())
{
    field_->Init(256, 285, 2);
}

clsQRCode::~clsQRCode() = default;

void clsQRCode::EncodeBlocks(const uint8_t* dataCodewords, int32_t version, int32_t level, uint8_t* message)
{
    const int32_t C = DataCodewords(version, level);
    const int32_t nb = EcBlockCount(version, level);
    const int32_t e = EcCodewordsPerBlock(version, level);
    const int32_t L = (nb + C - 1) / nb;
    const int32_t s = (C % nb == 0) ? 0 : nb - C % nb;

    if (!coder_) coder_ = std::make_unique<clsReedSolomon>();
    coder_->Init(L, e, field_, 0, 0);

    // Product rows: row u holds u * g(e-1-i) for i = 0..e-1, so one row XOR per
    // data codeword advances the division (the generator is monic).
    std::array<std::array<uint8_t, 32>, 256> product{};
    for (int32_t i = 0; i < e; ++i) {
        const int32_t g = coder_->GeneratorCoefficient(e - 1 - i);
        if (g == 0) continue;
        const int32_t lg = field_->Log(g);
        for (int32_t u = 1; u < 256; ++u) {
            int32_t t = field_->Log(u) + lg;
            if (t >= 255) t -= 255;
            product[static_cast<size_t>(u)][static_cast<size_t>(i)] = static_cast<uint8_t>(field_->ExpTable(t));
        }
    }

    const uint8_t* next = dataCodewords;
    for (int32_t j = 0; j < nb; ++j) {
        const int32_t k = (j < s) ? L - 1 : L;
        std::array<uint8_t, 33> rem{};
        for (int32_t t = 0; t < k; ++t) {
            const uint8_t d = next[t];
            const int32_t p = (t < L - 1) ? j + t * nb : (L - 1) * nb + (j - s);
            message[p] = d;
            const uint8_t factor = d ^ rem[0];
            std::memmove(rem.data(), rem.data() + 1, 32);
            const uint8_t* row = product[factor].data();
            for (int32_t i = 0; i < 32; ++i) rem[static_cast<size_t>(i)] ^= row[i];
        }
        next += k;
        for (int32_t t = 0; t < e; ++t) message[C + j + t * nb] = rem[static_cast<size_t>(t)];
    }
}

std::optional<QRSymbol> clsQRCode::EncodeSymbol(const uint8_t* data, int32_t count, int32_t version, int32_t level,
                                                int32_t mask)
{
    if (level < 1 || level > 4) level = 2;
    if (version < 0) return std::nullopt;
    if (count < 0) count = 0;

    // Version choice: one size-only run serves a whole group of versions.
    int32_t chosen = 0;
    if (version == 0 || version > 40) {
        for (int g = 0; g < 3 && chosen == 0; ++g) {
            const int32_t bits = BuildBitStream(nullptr, data, count, kFirstVersion[g], true);
            for (int32_t v = kFirstVersion[g]; v <= kLastVersion[g]; ++v)
                if (bits - 4 <= 8 * DataCodewords(v, level)) {
                    chosen = v;
                    break;
                }
        }
        if (chosen == 0) return std::nullopt;
    } else {
        chosen = version;
        if (BuildBitStream(nullptr, data, count, chosen, true) - 4 > 8 * DataCodewords(chosen, level))
            return std::nullopt;
    }

    const int32_t C = DataCodewords(chosen, level);
    std::vector<uint8_t> stream(kStreamBytes);
    const int32_t D = BuildBitStream(stream.data(), data, count, chosen, false);

    // Pad pattern 1110 1100 0001 0001 from the bit after the terminator.
    if (D < 8 * C) {
        QRBitWriter pad(stream.data(), D);
        for (int32_t left = 8 * C - D; left > 0; left -= 16) {
            const int take = left < 16 ? static_cast<int>(left) : 16;
            pad.Put(0xEC11u >> (16 - take), take);
        }
        pad.Flush();
    }

    QRSymbol symbol;
    symbol.version = chosen;
    symbol.level = level;
    const int32_t total = TotalCodewords(chosen);
    symbol.codewords.assign(static_cast<size_t>(total), 0);
    EncodeBlocks(stream.data(), chosen, level, symbol.codewords.data());

    const int32_t n = SymbolSize(chosen);
    const int32_t stride = n + 3;
    symbol.size = n;
    symbol.stride = stride;
    symbol.modules.assign(static_cast<size_t>(stride * stride), 0);
    uint8_t* m = symbol.modules.data();
    DrawFunctionPatterns(m, chosen);

    std::vector<uint8_t> placed(static_cast<size_t>(n * n), 0);
    PlaceData(placed.data(), m, n, symbol.codewords.data(), total * 8);

    auto finish = [&](uint8_t* out, int32_t pattern) {
        std::vector<uint8_t> masked = placed;
        const int32_t applied = ApplyMask(masked.data(), n, pattern);
        for (int32_t y = 0; y < n; ++y)
            for (int32_t x = 0; x < n; ++x) {
                uint8_t& cell = out[y * stride + x];
                cell = static_cast<uint8_t>((cell != 0 ? cell : masked[static_cast<size_t>(y * n + x)]) & 1);
            }
        WriteFormatAndVersion(out, n, chosen, level, applied);
        return applied;
    };

    if (mask == kMaskAuto) {
        const std::vector<uint8_t> functions = symbol.modules;
        int32_t bestScore = 0;
        int32_t best = -1;
        std::vector<uint8_t> bestModules;
        for (int32_t pattern = 0; pattern < 8; ++pattern) {
            symbol.modules = functions;
            finish(symbol.modules.data(), pattern);
            const int32_t score = PenaltyScore(symbol);
            if (best < 0 || score < bestScore) {
                bestScore = score;
                best = pattern;
                bestModules = symbol.modules;
            }
        }
        symbol.modules = std::move(bestModules);
        symbol.mask = best;
    } else {
        symbol.mask = finish(m, mask);
    }
    return symbol;
}
