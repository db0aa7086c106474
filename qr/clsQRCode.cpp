// The encoder entry: version choice, padding, blocks, placement, masking.
#include "clsQRCode.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VORLANE_HAVE_AVX2 1
#endif

#include "QRBitWriter.h"
#include "QRLayout.h"
#include "QRPenalty.h"

namespace {

constexpr int32_t kFirstVersion[3] = {1, 10, 27};
constexpr int32_t kLastVersion[3] = {9, 26, 40};
constexpr int32_t kMaxCheckCodewords = 30; // per block, in every version and level
constexpr int32_t kMaxBlocks = 81;         // 40-H

// GF(256) with polynomial 0x11D: powers of 2 and their logarithms.
struct FieldTables {
    uint8_t exp[255]{};
    uint8_t log[256]{};
    constexpr FieldTables()
    {
        int32_t x = 1;
        for (int32_t i = 0; i < 255; ++i) {
            exp[i] = static_cast<uint8_t>(x);
            log[x] = static_cast<uint8_t>(i);
            x <<= 1;
            if (x & 0x100) x ^= 0x11D;
        }
    }
    constexpr uint8_t Multiply(uint8_t a, uint8_t b) const
    {
        if (a == 0 || b == 0) return 0;
        return exp[(log[a] + log[b]) % 255];
    }
};
constexpr FieldTables kField;

// Multiplication by x in GF(256) on eight bytes at once.
uint64_t TimesX(uint64_t v)
{
    const uint64_t high = (v >> 7) & 0x0101010101010101ull;
    return ((v << 1) & 0xFEFEFEFEFEFEFEFEull) ^ (high * 0x1D);
}

// Row u holds u times the generator of degree e without its leading 1, highest
// power first: one row XOR per data codeword advances the division. Made once per
// degree for the whole process; row 1 is the generator, rows 2^b follow by
// doubling, the rest by linearity.
struct ProductRows {
    uint64_t row[256][4];
    // For AVX2: byte i of the rows of the low and of the high nibbles, each table
    // twice over, as a byte shuffle reads them.
    alignas(32) uint8_t low[kMaxCheckCodewords][32];
    alignas(32) uint8_t high[kMaxCheckCodewords][32];

    explicit ProductRows(int32_t e)
    {
        uint8_t g[kMaxCheckCodewords + 1] = {1}; // lowest power first
        for (int32_t i = 0; i < e; ++i) {        // times (x + 2^i)
            for (int32_t j = i + 1; j > 0; --j) g[j] = g[j - 1] ^ kField.Multiply(g[j], kField.exp[i]);
            g[0] = kField.Multiply(g[0], kField.exp[i]);
        }
        uint8_t highFirst[32] = {};
        for (int32_t i = 0; i < e; ++i) highFirst[i] = g[e - 1 - i];
        std::memset(row[0], 0, sizeof row[0]);
        std::memcpy(row[1], highFirst, sizeof highFirst);
        for (int b = 1; b < 8; ++b)
            for (int w = 0; w < 4; ++w) row[1 << b][w] = TimesX(row[1 << (b - 1)][w]);
        for (int u = 3; u < 256; ++u) {
            const int low = u & -u;
            if (low == u) continue;
            for (int w = 0; w < 4; ++w) row[u][w] = row[u ^ low][w] ^ row[low][w];
        }
        for (int32_t i = 0; i < kMaxCheckCodewords; ++i)
            for (int x = 0; x < 32; ++x) {
                low[i][x] = static_cast<uint8_t>(row[x & 15][i / 8] >> (8 * (i % 8)));
                high[i][x] = static_cast<uint8_t>(row[(x & 15) << 4][i / 8] >> (8 * (i % 8)));
            }
    }
};

const ProductRows& ProductsFor(int32_t e)
{
    static std::once_flag once[kMaxCheckCodewords + 1];
    static std::unique_ptr<ProductRows> tables[kMaxCheckCodewords + 1];
    std::call_once(once[e], [e] { tables[e] = std::make_unique<ProductRows>(e); });
    return *tables[e];
}

// A remainder of the division by the generator, highest power in the lowest
// byte; each data codeword advances it by one table row.
struct Remainder {
    uint64_t w0 = 0, w1 = 0, w2 = 0, w3 = 0;

    [[gnu::always_inline]] void Step(const ProductRows& products, uint8_t codeword)
    {
        const uint64_t* row = products.row[codeword ^ static_cast<uint8_t>(w0)];
        w0 = ((w0 >> 8) | (w1 << 56)) ^ row[0];
        w1 = ((w1 >> 8) | (w2 << 56)) ^ row[1];
        w2 = ((w2 >> 8) | (w3 << 56)) ^ row[2];
        w3 = (w3 >> 8) ^ row[3];
    }
    void Store(uint8_t check[32]) const
    {
        const uint64_t words[4] = {w0, w1, w2, w3};
        std::memcpy(check, words, 32);
    }
};

// The blocks of a version and level: the first `shortBlocks` carry L - 1 data
// codewords, the others L.
struct BlockShape {
    int32_t dataCodewords, blocks, checkPerBlock, longLength, shortBlocks;

    BlockShape(int32_t version, int32_t level)
        : dataCodewords(clsQRCode::DataCodewords(version, level)), blocks(clsQRCode::EcBlockCount(version, level)),
          checkPerBlock(clsQRCode::EcCodewordsPerBlock(version, level)),
          longLength((blocks + dataCodewords - 1) / blocks),
          shortBlocks(dataCodewords % blocks == 0 ? 0 : blocks - dataCodewords % blocks)
    {
    }
    int32_t DataLength(int32_t block) const { return block < shortBlocks ? longLength - 1 : longLength; }
    // Where data codeword t of a block goes in the interleaved message: column by
    // column over the blocks, the long blocks' last codewords at the end.
    int32_t DataPosition(int32_t block, int32_t t) const
    {
        return t < longLength - 1 ? block + t * blocks : (longLength - 1) * blocks + (block - shortBlocks);
    }
    int32_t CheckPosition(int32_t block, int32_t t) const { return dataCodewords + block + t * blocks; }
};

#ifdef VORLANE_HAVE_AVX2
bool HasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

// The check codewords of all blocks at once, one block a byte lane: the message
// already holds data codeword t of every block side by side, and check codeword t
// of every block goes side by side too. A product with a generator coefficient is
// two 16-entry byte shuffles, one for each nibble of the factors.
// One division step for every block: lanes below `from` (blocks that have no
// codeword here) keep their remainder when blend is set.
[[gnu::target("avx2")]] void DivisionStep(__m256i (&rem)[kMaxCheckCodewords + 1][3], const ProductRows& products,
                                          int32_t e, int vectors, const uint8_t* lanes, int32_t from, bool blend)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    for (int v = 0; v < vectors; ++v) {
        const __m256i f =
            _mm256_xor_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes + 32 * v)), rem[0][v]);
        const __m256i lo = _mm256_and_si256(f, nibble), hi = _mm256_and_si256(_mm256_srli_epi16(f, 4), nibble);
        const __m256i lane =
            _mm256_add_epi8(_mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                             21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31),
                            _mm256_set1_epi8(static_cast<char>(32 * v)));
        const __m256i keep = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(from)), lane);
        for (int32_t i = 0; i < e; ++i) {
            const __m256i product = _mm256_xor_si256(
                _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const __m256i*>(products.low[i])), lo),
                _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const __m256i*>(products.high[i])), hi));
            const __m256i next = _mm256_xor_si256(rem[i + 1][v], product);
            rem[i][v] = blend ? _mm256_blendv_epi8(next, rem[i][v], keep) : next;
        }
    }
}

// The check codewords of all blocks at once, one block a byte lane: the message
// already holds data codeword t of every block side by side, and check codeword t
// of every block goes side by side too. A product with a generator coefficient is
// two 16-entry byte shuffles, one for each nibble of the factors.
[[gnu::target("avx2")]] void CheckCodewordsAvx2(const BlockShape& shape, const ProductRows& products, uint8_t* message)
{
    const int32_t nb = shape.blocks, L = shape.longLength, e = shape.checkPerBlock, s = shape.shortBlocks;
    const int vectors = (nb + 31) / 32;
    __m256i rem[kMaxCheckCodewords + 1][3]; // rem[i]: coefficient i, highest power first
    for (auto& r : rem)
        for (auto& v : r) v = _mm256_setzero_si256();
    alignas(32) uint8_t lanes[96] = {};
    for (int32_t t = 0; t + 1 < L; ++t) {
        std::memcpy(lanes, message + t * nb, static_cast<size_t>(nb));
        DivisionStep(rem, products, e, vectors, lanes, 0, false);
    }
    // The long blocks' last codewords.
    std::memset(lanes, 0, sizeof lanes);
    std::memcpy(lanes + s, message + (L - 1) * nb, static_cast<size_t>(nb - s));
    DivisionStep(rem, products, e, vectors, lanes, s, s > 0);
    for (int32_t t = 0; t < e; ++t) {
        for (int v = 0; v < vectors; ++v) _mm256_store_si256(reinterpret_cast<__m256i*>(lanes + 32 * v), rem[t][v]);
        std::memcpy(message + shape.CheckPosition(0, t), lanes, static_cast<size_t>(nb));
    }
}
#endif

// Each block's check codewords by its own chain of table rows. Three blocks are
// divided side by side: each division is a chain of dependent table reads, and
// three chains keep the processor busy where one leaves it waiting. A short block
// is divided with a leading zero codeword, which leaves its remainder 0.
void CheckCodewordsPlain(const BlockShape& shape, const ProductRows& products, const uint8_t* dataCodewords,
                         uint8_t* message)
{
    const int32_t L = shape.longLength, nb = shape.blocks;
    const uint8_t* starts[kMaxBlocks];
    int32_t late[kMaxBlocks];
    const uint8_t* next = dataCodewords;
    for (int32_t j = 0; j < nb; ++j) {
        starts[j] = next;
        late[j] = L - shape.DataLength(j);
        next += shape.DataLength(j);
    }
    auto codeword = [&](int32_t j, int32_t t) -> uint8_t { return t >= late[j] ? starts[j][t - late[j]] : 0; };
    for (int32_t j = 0; j < nb; j += 3) {
        Remainder r[3];
        const int32_t group = std::min<int32_t>(3, nb - j);
        if (group == 3)
            for (int32_t t = 0; t < L; ++t) {
                r[0].Step(products, codeword(j, t));
                r[1].Step(products, codeword(j + 1, t));
                r[2].Step(products, codeword(j + 2, t));
            }
        else
            for (int32_t b = 0; b < group; ++b)
                for (int32_t t = 0; t < L; ++t) r[b].Step(products, codeword(j + b, t));
        for (int32_t b = 0; b < group; ++b) {
            uint8_t check[32];
            r[b].Store(check);
            for (int32_t t = 0, p = shape.CheckPosition(j + b, 0); t < shape.checkPerBlock; ++t, p += nb)
                message[p] = check[t];
        }
    }
}

// Splits the data codewords into blocks, interleaves them into message and adds
// each block's check codewords after them.
void EncodeBlocks(const uint8_t* dataCodewords, int32_t version, int32_t level, uint8_t* message)
{
    const BlockShape shape(version, level);
    const ProductRows& products = ProductsFor(shape.checkPerBlock);
    const int32_t L = shape.longLength, nb = shape.blocks;
    const uint8_t* next = dataCodewords;
    for (int32_t j = 0; j < nb; ++j) {
        const int32_t k = shape.DataLength(j);
        for (int32_t t = 0, p = j; t < L - 1; ++t, p += nb) message[p] = next[t];
        if (k == L) message[shape.DataPosition(j, L - 1)] = next[L - 1];
        next += k;
    }
#ifdef VORLANE_HAVE_AVX2
    // A step costs e shuffle pairs for up to 32 blocks side by side, against about
    // a dozen operations a block in the chains: the lanes pay from e / 2 blocks on.
    if (HasAvx2() && 2 * nb >= shape.checkPerBlock) return CheckCodewordsAvx2(shape, products, message);
#endif
    CheckCodewordsPlain(shape, products, dataCodewords, message);
}

// Eight module bytes (0 or 1) for each value of eight bits, bit i to byte i.
struct ByteSpread {
    uint64_t bytes[256]{};
    constexpr ByteSpread()
    {
        for (int v = 0; v < 256; ++v)
            for (int i = 0; i < 8; ++i)
                if (v & (1 << i)) bytes[v] |= uint64_t{1} << (8 * i);
    }
};
constexpr ByteSpread kSpread;

// Writes bit rows into the module buffer, eight modules a store. A store may run
// past the row's end into the next row, which is written after it, or into the
// spare rows, which it leaves at 0 as the rows hold nothing beyond n.
void WriteRowsPlain(const std::vector<QRBits>& rows, int32_t n, uint8_t* modules)
{
    const int32_t stride = n + 3;
    for (int32_t y = 0; y < n; ++y) {
        const QRBits& row = rows[static_cast<size_t>(y)];
        uint8_t* out = modules + y * stride;
        for (int32_t x = 0; x < n; x += 8) {
            const uint8_t eight = static_cast<uint8_t>(row.w[x >> 6] >> (x & 63));
            std::memcpy(out + x, &kSpread.bytes[eight], 8);
        }
    }
}

#ifdef VORLANE_HAVE_AVX2
// The same, 32 modules a store: each byte picks its bit out of a broadcast word.
// The stores reach at most 31 bytes past a row, within the spare rows' 4(n + 3).
[[gnu::target("avx2")]] void WriteRowsAvx2(const std::vector<QRBits>& rows, int32_t n, uint8_t* modules)
{
    const int32_t stride = n + 3;
    const __m256i spread = _mm256_setr_epi64x(0, 0x0101010101010101ll, 0x0202020202020202ll, 0x0303030303030303ll);
    const __m256i select = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    const __m256i one = _mm256_set1_epi8(1);
    for (int32_t y = 0; y < n; ++y) {
        const QRBits& row = rows[static_cast<size_t>(y)];
        uint8_t* out = modules + y * stride;
        for (int32_t x = 0; x < n; x += 32) {
            const uint32_t bits = static_cast<uint32_t>(row.w[x >> 6] >> (x & 63));
            __m256i v = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(bits)), spread);
            v = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_and_si256(v, select), select), one);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), v);
        }
    }
}
#endif

void WriteRows(const std::vector<QRBits>& rows, int32_t n, uint8_t* modules)
{
#ifdef VORLANE_HAVE_AVX2
    if (HasAvx2()) return WriteRowsAvx2(rows, n, modules);
#endif
    WriteRowsPlain(rows, n, modules);
}

void WriteFormat(uint8_t* m, int32_t n, int32_t level, int32_t mask)
{
    const int32_t f = clsQRCode::FormatBits(level, mask);
    for (const FormatCell& c : FormatCells(n)) m[c.y * (n + 3) + c.x] = static_cast<uint8_t>((f >> c.bit) & 1);
}

} // namespace

clsQRCode::clsQRCode() {} // stream_ is written before it is read

clsQRCode::~clsQRCode() = default;

QRLayout& clsQRCode::Layout(int32_t version)
{
    auto& slot = layouts_[static_cast<size_t>(version - 1)];
    if (!slot) slot = std::make_unique<QRLayout>(version);
    return *slot;
}

int32_t clsQRCode::ChooseVersion(const uint8_t* data, int32_t count, int32_t version, int32_t level)
{
    // The fit tests compare data bits with the capacity: a terminator that does
    // not fit is cut short, as the standard allows.
    const int32_t header = HeaderBits();
    const Census census = TakeCensus(data, count);
    if (version >= 1 && version <= 40)
        return header + Plan(data, count, version, &modes_, census) <= 8 * DataCodewords(version, level) ? version : 0;
    // One search serves a whole group of versions; groups that cannot hold even the
    // cheapest conceivable stream are not searched.
    for (int g = 0; g < 3; ++g) {
        if (g < 2 && header + MinimumDataBits(census, kFirstVersion[g]) > 8 * DataCodewords(kLastVersion[g], level))
            continue;
        const int32_t dataBits = header + Plan(data, count, kFirstVersion[g], &modes_, census);
        for (int32_t v = kFirstVersion[g]; v <= kLastVersion[g]; ++v)
            if (dataBits <= 8 * DataCodewords(v, level)) return v;
    }
    return 0;
}

void clsQRCode::WriteDataCodewords(const uint8_t* data, int32_t count, int32_t version, int32_t level)
{
    uint8_t* stream = stream_.data();
    const int32_t capacity = 8 * DataCodewords(version, level);
    const int32_t header = HeaderBits();
    if (header) {
        QRBitWriter eci(stream);
        eci.Put(0x7u << 8 | static_cast<uint32_t>(eci_), kEciHeaderBits); // mode 0111, 8-bit designator
        eci.Flush();
    }
    const int32_t end = WriteSegments(stream, data, count, version, modes_, header); // terminator included
    // Pad pattern 1110 1100 0001 0001 from the bit after the terminator.
    if (end < capacity) {
        QRBitWriter pad(stream, end);
        for (int32_t left = capacity - end; left > 0; left -= 16) {
            const int take = left < 16 ? static_cast<int>(left) : 16;
            pad.Put(0xEC11u >> (16 - take), take);
        }
        pad.Flush();
    }
}

int32_t clsQRCode::ChooseMask(const QRLayout& layout, const std::vector<QRBits>& dataRows,
                              const std::vector<QRBits>& dataColumns, int32_t level) const
{
    const int32_t n = layout.n;
    std::vector<QRBits> rows(static_cast<size_t>(n)), columns(static_cast<size_t>(n));
    const auto cells = FormatCells(n);
    const std::vector<QRBits>& darkColumns = layout.DarkColumns();
    int32_t best = 0, bestScore = 0;
    for (int32_t mask = 0; mask < 8; ++mask) {
        for (int32_t i = 0; i < n; ++i) {
            const size_t k = static_cast<size_t>(i);
            rows[k] = layout.darkRows[k] ^ dataRows[k] ^ (MaskRow(mask, i) & layout.freeRows[k]);
            columns[k] = darkColumns[k] ^ dataColumns[k] ^ (MaskColumn(mask, i) & layout.freeColumns[k]);
        }
        const int32_t f = FormatBits(level, mask);
        for (const FormatCell& c : cells)
            if ((f >> c.bit) & 1) {
                rows[static_cast<size_t>(c.y)].Set(c.x);
                columns[static_cast<size_t>(c.x)].Set(c.y);
            }
        // A mask is kept only below the best score so far: scoring may stop there.
        const int32_t score = PenaltyFromBits(rows, columns, n, mask == 0 ? INT32_MAX : bestScore);
        if (mask == 0 || score < bestScore) {
            best = mask;
            bestScore = score;
        }
    }
    return best;
}

void clsQRCode::BuildModules(QRSymbol& symbol, int32_t mask)
{
    const QRLayout& layout = Layout(symbol.version);
    const int32_t n = layout.n;
    std::vector<QRBits> dataColumns(static_cast<size_t>(n)), dataRows;
    layout.PlaceMessage(symbol.codewords, dataColumns);
    TransposeBits(dataColumns, dataRows, n);

    if (autoMask_) mask = ChooseMask(layout, dataRows, dataColumns, symbol.level);
    else if (mask < 0 || mask > 7) mask = 0;

    // Function patterns, then the masked message bits in the free modules.
    for (int32_t y = 0; y < n; ++y) {
        const size_t k = static_cast<size_t>(y);
        dataRows[k] = layout.darkRows[k] ^ dataRows[k] ^ (MaskRow(mask, y) & layout.freeRows[k]);
    }
    symbol.size = n;
    symbol.stride = layout.stride;
    symbol.mask = mask;
    // The rows' stores write every byte of rows 0 .. n-1 (their spare columns 0); the spare rows below are
    // zeroed first, as the last row's stores may reach into them.
    const size_t side = static_cast<size_t>(layout.stride);
    symbol.modules.resize(side * side);
    std::memset(symbol.modules.data() + static_cast<size_t>(n) * side, 0, (side - static_cast<size_t>(n)) * side);
    WriteRows(dataRows, n, symbol.modules.data());
    WriteFormat(symbol.modules.data(), n, symbol.level, mask);
}

std::optional<QRSymbol> clsQRCode::EncodeSymbol(std::span<const uint8_t> bytes, int32_t version, int32_t level,
                                                int32_t mask)
{
    if (level < 1 || level > 4) level = 2;
    if (version < 0) return std::nullopt;
    if (bytes.size() > kMaxInputBytes) return std::nullopt;
    const uint8_t* data = bytes.data();
    const int32_t count = static_cast<int32_t>(bytes.size());

    const int32_t chosen = ChooseVersion(data, count, version, level);
    if (chosen == 0) return std::nullopt;
    WriteDataCodewords(data, count, chosen, level);

    QRSymbol symbol;
    symbol.version = chosen;
    symbol.level = level;
    symbol.codewords.resize(static_cast<size_t>(TotalCodewords(chosen)));
    EncodeBlocks(stream_.data(), chosen, level, symbol.codewords.data());
    BuildModules(symbol, mask);
    return symbol;
}
