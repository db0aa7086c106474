// The encoder entry: version choice, padding, blocks, placement, masking.
#include "clsQRCode.h"

#include <cstring>

#include "QRBitWriter.h"
#include "QRLayout.h"
#include "QRPenalty.h"

namespace {

constexpr int32_t kStreamBytes = 4096; // the 3706 codewords of version 40 and a stray terminator
constexpr int32_t kFirstVersion[3] = {1, 10, 27};
constexpr int32_t kLastVersion[3] = {9, 26, 40};

// Multiplication by x in GF(256) (polynomial 0x11D) on eight bytes at once.
uint64_t TimesX(uint64_t v)
{
    const uint64_t high = (v >> 7) & 0x0101010101010101ull;
    return ((v << 1) & 0xFEFEFEFEFEFEFEFEull) ^ (high * 0x1D);
}

// The data bits of message codeword c go to the free modules order[8c .. 8c + 7].
void FlipDataBits(uint8_t* m, const uint16_t* order, const uint8_t* codewords, int32_t count)
{
    for (int32_t c = 0; c < count; ++c) {
        const uint8_t b = codewords[c];
        const uint16_t* o = order + 8 * c;
        m[o[0]] ^= b >> 7;
        m[o[1]] ^= (b >> 6) & 1;
        m[o[2]] ^= (b >> 5) & 1;
        m[o[3]] ^= (b >> 4) & 1;
        m[o[4]] ^= (b >> 3) & 1;
        m[o[5]] ^= (b >> 2) & 1;
        m[o[6]] ^= (b >> 1) & 1;
        m[o[7]] ^= b & 1;
    }
}

void WriteFormat(uint8_t* m, int32_t n, int32_t level, int32_t mask)
{
    const int32_t f = clsQRCode::FormatBits(level, mask);
    for (const FormatCell& c : FormatCells(n)) m[c.y * (n + 3) + c.x] = static_cast<uint8_t>((f >> c.bit) & 1);
}

// Rows of an (n + 3)-stride module buffer of 0 and 1 bytes as bit sets.
void PackRows(const uint8_t* m, int32_t n, std::vector<QRBits>& rows)
{
    const int32_t stride = n + 3;
    rows.assign(static_cast<size_t>(n), QRBits{});
    for (int32_t y = 0; y < n; ++y) {
        const uint8_t* row = m + y * stride;
        QRBits& bits = rows[static_cast<size_t>(y)];
        // Eight bytes can always be read: the buffer has three spare columns and rows.
        for (int32_t x = 0; x < n; x += 8) {
            uint64_t chunk;
            std::memcpy(&chunk, row + x, 8);
            if (n - x < 8) chunk &= (uint64_t{1} << (8 * (n - x))) - 1;
            const uint64_t packed = (chunk * 0x0102040810204080ull) >> 56;
            bits.w[x >> 6] |= packed << (x & 63);
        }
    }
}

} // namespace

clsQRCode::clsQRCode() : field_(std::make_shared<clsFiniteField>()), stream_(kStreamBytes)
{
    field_->Init(256, 285, 2);
    // Powers of alpha twice over, so that a sum of two logarithms needs no reduction;
    // from kLogZero on, zeros stand for a zero factor.
    exp_.fill(0);
    for (int32_t i = 0; i < 510; ++i) exp_[static_cast<size_t>(i)] = static_cast<uint8_t>(field_->Exp(i));
}

clsQRCode::~clsQRCode() = default;

QRLayout& clsQRCode::Layout(int32_t version)
{
    auto& slot = layouts_[static_cast<size_t>(version - 1)];
    if (!slot) slot = std::make_unique<QRLayout>(version);
    return *slot;
}

void clsQRCode::EncodeBlocks(const uint8_t* dataCodewords, int32_t version, int32_t level, uint8_t* message)
{
    const int32_t C = DataCodewords(version, level);
    const int32_t nb = EcBlockCount(version, level);
    const int32_t e = EcCodewordsPerBlock(version, level);
    const int32_t L = (nb + C - 1) / nb;
    const int32_t s = (C % nb == 0) ? 0 : nb - C % nb;

    if (!coder_) coder_ = std::make_unique<clsReedSolomon>();
    coder_->Init(L, e, field_, 0, 0);

    uint8_t generator[32] = {};
    for (int32_t i = 0; i < e; ++i) generator[i] = static_cast<uint8_t>(coder_->GeneratorCoefficient(e - 1 - i));

    if (C * e <= 1500) {
        // Few codewords: multiply through the logarithm tables, no product rows.
        int32_t logGenerator[32];
        for (int32_t i = 0; i < e; ++i) logGenerator[i] = generator[i] ? field_->Log(generator[i]) : kLogZero;
        const uint8_t* next = dataCodewords;
        for (int32_t j = 0; j < nb; ++j) {
            const int32_t k = (j < s) ? L - 1 : L;
            uint8_t rem[33] = {};
            for (int32_t t = 0; t < k; ++t) {
                const uint8_t d = next[t];
                message[(t < L - 1) ? j + t * nb : (L - 1) * nb + (j - s)] = d;
                const uint8_t factor = d ^ rem[0];
                std::memmove(rem, rem + 1, 32);
                if (factor == 0) continue;
                const int32_t logFactor = field_->Log(factor);
                for (int32_t i = 0; i < e; ++i) rem[i] ^= exp_[static_cast<size_t>(logFactor + logGenerator[i])];
            }
            next += k;
            for (int32_t t = 0; t < e; ++t) message[C + j + t * nb] = rem[t];
        }
        return;
    }

    // Product rows: row u holds u * g(e-1-i) for i = 0 .. e-1, so one row XOR per
    // data codeword advances the division by the monic generator. Row 1 is the
    // generator itself, rows 2^b follow by doubling, the rest by linearity.
    uint64_t product[256][4];
    std::memset(product[0], 0, sizeof product[0]);
    std::memcpy(product[1], generator, sizeof generator);
    for (int b = 1; b < 8; ++b)
        for (int w = 0; w < 4; ++w) product[1 << b][w] = TimesX(product[1 << (b - 1)][w]);
    for (int u = 3; u < 256; ++u) {
        const int low = u & -u;
        if (low == u) continue;
        for (int w = 0; w < 4; ++w) product[u][w] = product[u ^ low][w] ^ product[low][w];
    }

    const uint8_t* next = dataCodewords;
    for (int32_t j = 0; j < nb; ++j) {
        const int32_t k = (j < s) ? L - 1 : L;
        uint64_t rem[4] = {0, 0, 0, 0}; // remainder, highest power in the lowest byte
        for (int32_t t = 0; t < k; ++t) {
            const uint8_t d = next[t];
            const int32_t p = (t < L - 1) ? j + t * nb : (L - 1) * nb + (j - s);
            message[p] = d;
            const uint8_t factor = d ^ static_cast<uint8_t>(rem[0]);
            rem[0] = (rem[0] >> 8) | (rem[1] << 56);
            rem[1] = (rem[1] >> 8) | (rem[2] << 56);
            rem[2] = (rem[2] >> 8) | (rem[3] << 56);
            rem[3] >>= 8;
            const uint64_t* row = product[factor];
            rem[0] ^= row[0];
            rem[1] ^= row[1];
            rem[2] ^= row[2];
            rem[3] ^= row[3];
        }
        next += k;
        uint8_t check[32];
        std::memcpy(check, rem, sizeof check);
        for (int32_t t = 0; t < e; ++t) message[C + j + t * nb] = check[t];
    }
}

int32_t clsQRCode::ChooseMask(QRLayout& layout, const std::vector<uint8_t>& unmaskedSymbol, int32_t level)
{
    const int32_t n = layout.n;
    std::vector<QRBits> base, baseColumns, rows(static_cast<size_t>(n)), columns(static_cast<size_t>(n));
    PackRows(unmaskedSymbol.data(), n, base);
    TransposeBits(base, baseColumns, n);
    const auto cells = FormatCells(n);
    int32_t best = 0, bestScore = 0;
    for (int32_t mask = 0; mask < 8; ++mask) {
        const std::vector<QRBits>& maskRows = layout.MaskRows(mask);
        const std::vector<QRBits>& maskColumns = layout.MaskColumns(mask);
        for (int32_t i = 0; i < n; ++i) {
            rows[static_cast<size_t>(i)] = base[static_cast<size_t>(i)] ^ maskRows[static_cast<size_t>(i)];
            columns[static_cast<size_t>(i)] = baseColumns[static_cast<size_t>(i)] ^ maskColumns[static_cast<size_t>(i)];
        }
        const int32_t f = FormatBits(level, mask);
        for (const FormatCell& c : cells)
            if ((f >> c.bit) & 1) {
                rows[static_cast<size_t>(c.y)].Set(c.x);
                columns[static_cast<size_t>(c.x)].Set(c.y);
            }
        const int32_t score = PenaltyFromBits(rows, columns, n);
        if (mask == 0 || score < bestScore) {
            best = mask;
            bestScore = score;
        }
    }
    return best;
}

std::optional<QRSymbol> clsQRCode::EncodeSymbol(std::span<const uint8_t> bytes, int32_t version, int32_t level,
                                                int32_t mask)
{
    if (level < 1 || level > 4) level = 2;
    if (version < 0) return std::nullopt;
    if (bytes.size() > kMaxInputBytes) return std::nullopt;
    const uint8_t* data = bytes.data();
    const int32_t count = static_cast<int32_t>(bytes.size());
    const int32_t header = eci_ >= 0 ? kEciHeaderBits : 0;

    // Version choice: one search serves a whole group of versions; groups that
    // cannot hold even the cheapest conceivable stream are not searched.
    int32_t chosen = 0;
    if (version == 0 || version > 40) {
        for (int g = 0; g < 3 && chosen == 0; ++g) {
            if (g < 2 &&
                header + MinimumDataBits(data, count, kFirstVersion[g]) > 8 * DataCodewords(kLastVersion[g], level))
                continue;
            const int32_t bits = header + Plan(data, count, kFirstVersion[g], &modes_) + 4;
            for (int32_t v = kFirstVersion[g]; v <= kLastVersion[g]; ++v)
                if (bits - 4 <= 8 * DataCodewords(v, level)) {
                    chosen = v;
                    break;
                }
        }
        if (chosen == 0) return std::nullopt;
    } else {
        chosen = version;
        if (header + Plan(data, count, chosen, &modes_) > 8 * DataCodewords(chosen, level)) return std::nullopt;
    }

    const int32_t C = DataCodewords(chosen, level);
    uint8_t* stream = stream_.data();
    if (header) {
        QRBitWriter eci(stream);
        eci.Put(0x7u << 8 | static_cast<uint32_t>(eci_), kEciHeaderBits); // mode 0111, 8-bit designator
        eci.Flush();
    }
    int32_t D = 0;
    if (count > 0) {
        D = WriteSegments(stream, data, count, chosen, modes_, header);
    } else {
        QRBitWriter terminator(stream, header);
        terminator.Put(0, 4);
        D = terminator.Flush();
    }

    // Pad pattern 1110 1100 0001 0001 from the bit after the terminator.
    if (D < 8 * C) {
        QRBitWriter pad(stream, D);
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
    symbol.codewords.resize(static_cast<size_t>(total));
    EncodeBlocks(stream, chosen, level, symbol.codewords.data());

    QRLayout& layout = Layout(chosen);
    const int32_t n = layout.n;
    symbol.size = n;
    symbol.stride = layout.stride;
    if (autoMask_) {
        std::vector<uint8_t> plain = layout.unmasked;
        FlipDataBits(plain.data(), layout.order.data(), symbol.codewords.data(), total);
        mask = ChooseMask(layout, plain, level);
        const std::vector<uint8_t>& masked = layout.Masked(mask);
        symbol.modules.resize(masked.size());
        // Eight modules at a time: the template with the data bits of the free modules.
        const size_t size = masked.size();
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            uint64_t m, p, f;
            std::memcpy(&m, masked.data() + i, 8);
            std::memcpy(&p, plain.data() + i, 8);
            std::memcpy(&f, layout.free.data() + i, 8);
            m ^= p & f;
            std::memcpy(symbol.modules.data() + i, &m, 8);
        }
        for (; i < size; ++i) symbol.modules[i] = masked[i] ^ (plain[i] & layout.free[i]);
    } else {
        if (mask < 0 || mask > 7) mask = 0;
        symbol.modules = layout.Masked(mask);
        FlipDataBits(symbol.modules.data(), layout.order.data(), symbol.codewords.data(), total);
    }
    symbol.mask = mask;
    WriteFormat(symbol.modules.data(), n, level, mask);
    return symbol;
}
