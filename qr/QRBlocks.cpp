#include "QRBlocks.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VORLANE_HAVE_AVX2 1
#endif

#include "clsFiniteField.h"
#include "clsReedSolomon.h"

namespace {

constexpr int32_t kMaxCheckCodewords = BlockShape::kMaxCheckCodewords;
constexpr int32_t kMaxBlocks = BlockShape::kMaxBlocks;

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
        // g(x) = (x - 1)(x - 2)...(x - 2^(e-1)), stored lowest power first.
        clsReedSolomon code;
        const bool made = code.Init(1, e, clsFiniteField::Gf256(), 2, 0);
        uint8_t highFirst[32] = {};
        for (int32_t i = 0; made && i < e; ++i)
            highFirst[i] = static_cast<uint8_t>(code.GeneratorCoefficient(e - 1 - i));
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

} // namespace

// Splits the data codewords into blocks, interleaves them into message and adds
// each block's check codewords after them.
Result<void> EncodeBlocks(const uint8_t* dataCodewords, const BlockShape& shape, uint8_t* message)
{
    if (!shape.Valid()) return Fail("block shape out of bounds");
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
    if (HasAvx2() && 2 * nb >= shape.checkPerBlock) {
        CheckCodewordsAvx2(shape, products, message);
        return {};
    }
#endif
    CheckCodewordsPlain(shape, products, dataCodewords, message);
    return {};
}
