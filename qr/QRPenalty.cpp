#include "QRPenalty.h"

#include <cstdlib>

namespace {

[[gnu::always_inline]] inline void Transpose64(uint64_t a[64])
{
    uint64_t m = 0x00000000FFFFFFFFull;
    for (int j = 32; j != 0; j >>= 1, m ^= m << j)
        for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            const uint64_t t = ((a[k] >> j) ^ a[k | j]) & m;
            a[k] ^= t << j;
            a[k | j] ^= t;
        }
}

// One line of up to 64 * W modules; a symbol is scored with the fewest words
// that hold its side (one word up to version 11, two up to version 27), so small
// symbols do a third of the work of large ones.
template <int W>
struct Line {
    uint64_t w[W];

    [[gnu::always_inline]] static Line From(const QRBits& b)
    {
        Line l;
        for (int i = 0; i < W; ++i) l.w[i] = b.w[i];
        return l;
    }
    [[gnu::always_inline]] bool Get(int i) const { return i >= 0 && i < 64 * W && ((w[i >> 6] >> (i & 63)) & 1); }
    // result[i] = this[i + k], light beyond the end (0 < k < 64).
    [[gnu::always_inline]] Line Down(int k) const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = (w[i] >> k) | (i + 1 < W ? w[i + 1] << (64 - k) : 0);
        return r;
    }
    // result[i] = this[i - k], light before the start.
    [[gnu::always_inline]] Line Up(int k) const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = (w[i] << k) | (i > 0 ? w[i - 1] >> (64 - k) : 0);
        return r;
    }
    [[gnu::always_inline]] Line operator&(const Line& o) const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = w[i] & o.w[i];
        return r;
    }
    [[gnu::always_inline]] Line operator|(const Line& o) const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = w[i] | o.w[i];
        return r;
    }
    [[gnu::always_inline]] Line operator^(const Line& o) const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = w[i] ^ o.w[i];
        return r;
    }
    [[gnu::always_inline]] Line operator~() const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = ~w[i];
        return r;
    }
    [[gnu::always_inline]] bool Any() const
    {
        uint64_t any = 0;
        for (int i = 0; i < W; ++i) any |= w[i];
        return any != 0;
    }
    [[gnu::always_inline]] int Count() const
    {
        int c = 0;
        for (int i = 0; i < W; ++i) c += __builtin_popcountll(w[i]);
        return c;
    }
};

// Finder-like patterns at scale s >= 2 whose middle dark run starts at i: dark s,
// light s, dark 3s, light s, dark s, counted once for each side that has a light
// run of 4s next to it and at least s on the other side.
template <int W>
int32_t ScaledPatterns(const Line<W>& d, int32_t n, int32_t i)
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
template <int W>
[[gnu::always_inline]] inline int32_t LineScore(const Line<W>& d, const Line<W>& pairs, int32_t n)
{
    const Line<W> d1 = d.Down(1);
    const Line<W> same = ~(d ^ d1) & pairs; // module i equals module i + 1
    const Line<W> same2 = same & same.Down(1);
    const Line<W> five = same2 & same2.Down(2); // modules i .. i+4 alike
    int32_t score = five.Count() + 2 * (five & ~five.Up(1)).Count();

    // Dark 1, light 1, dark 3, light 1, dark 1 from module i, light at i - 1 and
    // i + 7, and four light modules after it or before it.
    const Line<W> three = d & d1 & d.Down(2); // modules i .. i+2 dark
    const Line<W> falling = d & ~d1;          // module i dark, i+1 light
    const Line<W> rising = ~d & d1;           // module i light, i+1 dark
    // Looking back, Up brings in light for the modules before the line; the
    // windows are built so that no module of the line is lost that way.
    const Line<W> u1 = d.Up(1);
    const Line<W> ahead2 = d | d1, back2 = d | u1;      // i, i+1 and i-1, i
    const Line<W> ahead4 = ahead2 | ahead2.Down(2);     // a dark module among i .. i+3
    const Line<W> back4 = back2 | back2.Up(2);          // a dark module among i-3 .. i
    const Line<W> lightAfter = ~ahead4.Down(7);         // i+7 .. i+10 light
    const Line<W> lightBefore = ~back4.Up(1);           // i-4 .. i-1 light
    const Line<W> core = falling & three.Down(2) & rising.Down(5);
    const Line<W> edgeBefore = ~u1, edgeAfter = ~d.Down(7);
    score += 40 * ((core & edgeBefore & lightAfter).Count() + (core & edgeAfter & lightBefore).Count());

    // Larger scales are rare: find middle runs that could be one, then check them.
    const Line<W> six = three & three.Down(3) & ~back2.Up(1); // i .. i+5 dark, i-2 and i-1 light
    if (six.Any()) {
        const Line<W> d6 = d.Down(6), d7 = d.Down(7), d8 = d.Down(8), u3 = d.Up(3);
        const Line<W> scale2 = six & ~d6 & ~d7 & d8 & d.Down(9) & u3 & d.Up(4);
        const Line<W> larger = six & d6 & d7 & d8 & ~u3;
        const Line<W> candidates = scale2 | larger;
        for (int w = 0; w < W; ++w)
            for (uint64_t bits = candidates.w[w]; bits; bits &= bits - 1)
                score += 40 * ScaledPatterns(d, n, 64 * w + __builtin_ctzll(bits));
    }
    return score;
}

template <int W>
[[gnu::always_inline]] inline int32_t Score(const std::vector<QRBits>& rows, const std::vector<QRBits>& columns, int32_t n)
{
    const Line<W> pairs = Line<W>::From(QRBits::First(n - 1));
    int32_t score = 0;
    int32_t dark = 0;
    Line<W> r = Line<W>::From(rows[0]);
    for (int32_t i = 0; i < n; ++i) {
        score += LineScore(r, pairs, n) + LineScore(Line<W>::From(columns[static_cast<size_t>(i)]), pairs, n);
        dark += r.Count();
        if (i + 1 < n) {
            const Line<W> next = Line<W>::From(rows[static_cast<size_t>(i + 1)]);
            const Line<W> vertical = ~(r ^ next);
            const Line<W> blocks = vertical & vertical.Down(1) & ~(r ^ r.Down(1)) & pairs;
            score += 3 * blocks.Count();
            r = next;
        }
    }
    const int32_t total = n * n;
    score += 10 * ((std::abs(dark * 20 - total * 10) + total - 1) / total - 1);
    return score;
}

} // namespace

// With GCC, built for three instruction sets (AVX2, popcount, plain), picked at load time.
#if defined(__GNUC__) && !defined(__clang__)
#define VORLANE_INSTRUCTION_CLONES [[gnu::target_clones("arch=haswell", "popcnt", "default")]]
#else
#define VORLANE_INSTRUCTION_CLONES
#endif

VORLANE_INSTRUCTION_CLONES void TransposeBits(const std::vector<QRBits>& rows, std::vector<QRBits>& columns, int32_t n)
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

VORLANE_INSTRUCTION_CLONES int32_t PenaltyFromBits(const std::vector<QRBits>& rows, const std::vector<QRBits>& cols,
                                                   int32_t n)
{
    if (n <= 64) return Score<1>(rows, cols, n);
    if (n <= 128) return Score<2>(rows, cols, n);
    return Score<3>(rows, cols, n);
}
