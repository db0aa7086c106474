#include "QRPenalty.h"

#include <cstdlib>

namespace {

void Transpose64(uint64_t a[64])
{
    uint64_t m = 0x00000000FFFFFFFFull;
    for (int j = 32; j != 0; j >>= 1, m ^= m << j)
        for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            const uint64_t t = ((a[k] >> j) ^ a[k | j]) & m;
            a[k] ^= t << j;
            a[k | j] ^= t;
        }
}

// Finder-like patterns at scale s >= 2 whose middle dark run starts at i: dark s,
// light s, dark 3s, light s, dark s, counted once for each side that has a light
// run of 4s next to it and at least s on the other side.
int32_t ScaledPatterns(const QRBits& d, int32_t n, int32_t i)
{
    auto dark = [&](int32_t p) { return p >= 0 && p < n && d.Get(p); };
    auto lightRun = [&](int32_t p, int32_t step) {
        int32_t length = 0;
        for (; !dark(p); p += step, ++length)
            if (p < 0 || p >= n) return n + length; // the light border
        return length;
    };
    int32_t c = 0;
    while (dark(i + c)) ++c;
    if (c < 6 || c % 3 != 0) return 0;
    const int32_t s = c / 3;
    auto runIs = [&](int32_t from, int32_t step, bool colour) {
        for (int32_t k = 0; k < s; ++k)
            if (dark(from + step * k) != colour) return false;
        return dark(from + step * s) != colour;
    };
    if (!runIs(i - 1, -1, false) || !runIs(i - 1 - s, -1, true)) return 0;
    if (!runIs(i + c, 1, false) || !runIs(i + c + s, 1, true)) return 0;
    const int32_t before = lightRun(i - 1 - 2 * s, -1);
    const int32_t after = lightRun(i + c + 2 * s, 1);
    return (after >= 4 * s && before >= s ? 1 : 0) + (before >= 4 * s && after >= s ? 1 : 0);
}

// N1 (runs of five or more) and N3 (1:1:3:1:1 with four light modules on a side)
// along one line of n modules; outside the line reads as light.
[[gnu::always_inline]] inline int32_t LineScore(const QRBits& d, const QRBits& pairs, int32_t n)
{
    const QRBits same = ~(d ^ d.Down(1)) & pairs; // module i equals module i + 1
    const QRBits five = same & same.Down(1) & same.Down(2) & same.Down(3);
    int32_t score = five.Count() + 2 * (five & ~five.Up(1)).Count();

    // Dark 1, light 1, dark 3, light 1, dark 1 from module i, light on both ends.
    const QRBits d1 = d.Down(1), d2 = d.Down(2), u1 = d.Up(1);
    const QRBits three = d & d1 & d2;           // modules i .. i+2 dark
    const QRBits rising = ~d & d1;              // module i light, i+1 dark
    const QRBits falling = d & ~d1;             // module i dark, i+1 light
    const QRBits middle = three.Down(2) & ~u1 & d; // i dark, i+2 .. i+4 dark, i-1 light
    const QRBits core = middle & falling & rising.Down(5) & falling.Down(6);
    if (core.Any()) {
        const QRBits after = ~(d.Down(7) | d.Down(8) | d.Down(9) | d.Down(10));
        const QRBits before = ~(u1 | d.Up(2) | d.Up(3) | d.Up(4));
        score += 40 * ((core & after).Count() + (core & before).Count());
    }

    // Larger scales are rare: find middle runs that could be one, then check them.
    const QRBits u2 = d.Up(2);
    const QRBits six = middle & d1 & three.Down(3) & ~u2; // i .. i+5 dark, i-2 and i-1 light
    if (six.Any()) {
        const QRBits d8 = d.Down(8), u3 = d.Up(3);
        const QRBits scale2 = six & ~d.Down(6) & ~d.Down(7) & d8 & d.Down(9) & u3 & d.Up(4);
        const QRBits larger = six & d.Down(6) & d.Down(7) & d8 & ~u3;
        QRBits candidates = scale2 | larger;
        for (int w = 0; w < 3; ++w)
            for (uint64_t bits = candidates.w[w]; bits; bits &= bits - 1)
                score += 40 * ScaledPatterns(d, n, 64 * w + __builtin_ctzll(bits));
    }
    return score;
}

} // namespace

void TransposeBits(const std::vector<QRBits>& rows, std::vector<QRBits>& columns, int32_t n)
{
    columns.assign(static_cast<size_t>(n), QRBits{});
    const int blocks = (n + 63) / 64;
    uint64_t a[64];
    for (int bi = 0; bi < blocks; ++bi)
        for (int bj = 0; bj < blocks; ++bj) {
            for (int k = 0; k < 64; ++k) {
                const int y = 64 * bi + k;
                a[k] = y < n ? rows[static_cast<size_t>(y)].w[bj] : 0;
            }
            Transpose64(a);
            for (int k = 0; k < 64; ++k) {
                const int x = 64 * bj + k;
                if (x < n) columns[static_cast<size_t>(x)].w[bi] = a[k];
            }
        }
}

// With GCC, built for three instruction sets (AVX2, popcount, plain), picked at load time.
#if defined(__GNUC__) && !defined(__clang__)
#define VORLANE_INSTRUCTION_CLONES [[gnu::target_clones("arch=haswell", "popcnt", "default")]]
#else
#define VORLANE_INSTRUCTION_CLONES
#endif

VORLANE_INSTRUCTION_CLONES int32_t PenaltyFromBits(const std::vector<QRBits>& rows,
                                                                   const std::vector<QRBits>& cols, int32_t n)
{
    const QRBits pairs = QRBits::First(n - 1);
    int32_t score = 0;
    int32_t dark = 0;
    for (int32_t i = 0; i < n; ++i) {
        const QRBits& r = rows[static_cast<size_t>(i)];
        score += LineScore(r, pairs, n) + LineScore(cols[static_cast<size_t>(i)], pairs, n);
        dark += r.Count();
        if (i + 1 < n) {
            const QRBits vertical = ~(r ^ rows[static_cast<size_t>(i + 1)]);
            const QRBits blocks = vertical & vertical.Down(1) & ~(r ^ r.Down(1)) & pairs;
            score += 3 * blocks.Count();
        }
    }
    const int32_t total = n * n;
    score += 10 * ((std::abs(dark * 20 - total * 10) + total - 1) / total - 1);
    return score;
}
