#include "ModuleRows.h"

#include <cstring>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VORLANE_HAVE_AVX2 1
#endif

namespace {

#ifdef VORLANE_HAVE_AVX2
bool HasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

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
// spare rows, which it leaves at 0 as the rows hold nothing beyond n, the width.
void WriteRowsPlain(const std::vector<QRBits>& rows, int32_t n, uint8_t* modules)
{
    const int32_t stride = n + 3;
    const int32_t height = static_cast<int32_t>(rows.size());
    for (int32_t y = 0; y < height; ++y) {
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
// The stores reach at most 31 bytes past a row, within the three spare rows.
[[gnu::target("avx2")]] void WriteRowsAvx2(const std::vector<QRBits>& rows, int32_t n, uint8_t* modules)
{
    const int32_t stride = n + 3;
    const __m256i spread = _mm256_setr_epi64x(0, 0x0101010101010101ll, 0x0202020202020202ll, 0x0303030303030303ll);
    const __m256i select = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    const __m256i one = _mm256_set1_epi8(1);
    const int32_t height = static_cast<int32_t>(rows.size());
    for (int32_t y = 0; y < height; ++y) {
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

} // namespace

void WriteModuleRows(const std::vector<QRBits>& rows, int32_t n, uint8_t* modules)
{
#ifdef VORLANE_HAVE_AVX2
    if (HasAvx2()) return WriteRowsAvx2(rows, n, modules);
#endif
    WriteRowsPlain(rows, n, modules);
}

void StoreModules(const std::vector<QRBits>& rows, int32_t width, int32_t height, ModuleBuffer& modules)
{
    // The rows' stores write every byte of rows 0 .. height-1 (their spare columns 0); the spare rows below are
    // zeroed first, as the last row's stores may reach into them.
    const size_t stride = static_cast<size_t>(width) + 3;
    modules.resize(stride * (static_cast<size_t>(height) + 3));
    std::memset(modules.data() + static_cast<size_t>(height) * stride, 0, 3 * stride);
    WriteModuleRows(rows, width, modules.data());
}
