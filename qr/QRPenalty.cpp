#include "QRPenalty.h"

#include <cstdlib>
#include <cstring>

namespace {

// One round of the transpose: swaps the J x J blocks off the diagonal.
template <int J>
[[gnu::always_inline]] inline void SwapBlocks(uint64_t a[64], uint64_t m)
{
#pragma GCC unroll 64
    for (int k = 0; k < 64; ++k)
        if ((k & J) == 0) {
            const uint64_t t = ((a[k] >> J) ^ a[k + J]) & m;
            a[k] ^= t << J;
            a[k + J] ^= t;
        }
}

// Transposes the 64 x 64 bit matrix a.
[[gnu::always_inline]] inline void TransposeBlock(uint64_t a[64])
{
    SwapBlocks<32>(a, 0x00000000FFFFFFFFull);
    SwapBlocks<16>(a, 0x0000FFFF0000FFFFull);
    SwapBlocks<8>(a, 0x00FF00FF00FF00FFull);
    SwapBlocks<4>(a, 0x0F0F0F0F0F0F0F0Full);
    SwapBlocks<2>(a, 0x3333333333333333ull);
    SwapBlocks<1>(a, 0x5555555555555555ull);
}

// Four lines side by side, one in each lane: the penalty rules read every line
// alike, so four go through the same shifts and masks at once.
using Lanes = uint64_t __attribute__((vector_size(32)));

[[gnu::always_inline]] inline int PopCount(uint64_t v, int) { return __builtin_popcountll(v); }
[[gnu::always_inline]] inline int PopCount(const Lanes& v, int lanes)
{
    int c = 0;
    for (int l = 0; l < lanes; ++l) c += __builtin_popcountll(v[l]);
    return c;
}
[[gnu::always_inline]] inline uint64_t LaneOf(uint64_t v, int) { return v; }
[[gnu::always_inline]] inline uint64_t LaneOf(const Lanes& v, int lane) { return v[lane]; }

// Up to 64 * W modules of one line (T = uint64_t) or of four (T = Lanes); a
// symbol is scored with the fewest words that hold its side (one word up to
// version 11, two up to version 27), so small symbols do a third of the work.
template <class T, int W>
struct Line {
    T w[W];

    [[gnu::always_inline]] static Line From(const QRBits& b)
    {
        Line l;
        for (int i = 0; i < W; ++i) l.w[i] = T{} + b.w[i];
        return l;
    }
    [[gnu::always_inline]] bool Get(int i) const
    {
        return i >= 0 && i < 64 * W && ((LaneOf(w[i >> 6], 0) >> (i & 63)) & 1);
    }
    // result[i] = this[i + k], light beyond the end (0 < k < 64).
    [[gnu::always_inline]] Line Down(int k) const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = (w[i] >> k) | (i + 1 < W ? w[i + 1] << (64 - k) : T{});
        return r;
    }
    // result[i] = this[i - k], light before the start.
    [[gnu::always_inline]] Line Up(int k) const
    {
        Line r;
        for (int i = 0; i < W; ++i) r.w[i] = (w[i] << k) | (i > 0 ? w[i - 1] >> (64 - k) : T{});
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
    [[gnu::always_inline]] bool Any(int lanes) const
    {
        T any = w[0];
        for (int i = 1; i < W; ++i) any |= w[i];
        uint64_t bits = 0;
        for (int l = 0; l < lanes; ++l) bits |= LaneOf(any, l);
        return bits != 0;
    }
    [[gnu::always_inline]] int Count(int lanes) const
    {
        int c = 0;
        for (int i = 0; i < W; ++i) c += PopCount(w[i], lanes);
        return c;
    }
};

// The run of modules of one colour through module p (0 <= p < n) towards higher
// (step 1) or lower (step -1) positions: its length inside the line, and whether
// it reaches the line's end, beyond which everything reads as light.
struct Run {
    int32_t length;
    bool edge;
};
template <int W>
Run RunFrom(const Line<uint64_t, W>& d, int32_t n, int32_t p, int32_t step)
{
    const bool colour = d.Get(p);
    if (step > 0) {
        for (int w = p >> 6; w < W; ++w) {
            uint64_t differ = colour ? ~d.w[w] : d.w[w];
            if (w == p >> 6) differ &= ~uint64_t{0} << (p & 63);
            if (differ) {
                const int32_t end = 64 * w + __builtin_ctzll(differ);
                return end >= n ? Run{n - p, true} : Run{end - p, false};
            }
        }
        return {n - p, true};
    }
    for (int w = p >> 6; w >= 0; --w) {
        uint64_t differ = colour ? ~d.w[w] : d.w[w];
        if (w == p >> 6 && (p & 63) != 63) differ &= (uint64_t{2} << (p & 63)) - 1;
        if (differ) return {p - (64 * w + 63 - __builtin_clzll(differ)), false};
    }
    return {p + 1, true};
}

// Finder-like patterns at scale s >= 2 whose middle dark run starts at i: dark s,
// light s, dark 3s, light s, dark s, counted once for each side that has a light
// run of 4s next to it and at least s on the other side.
template <int W>
int32_t ScaledPatterns(const Line<uint64_t, W>& d, int32_t n, int32_t i)
{
    const int32_t c = RunFrom(d, n, i, 1).length;
    if (c < 6 || c % 3 != 0) return 0;
    const int32_t s = c / 3;
    // A light run of exactly s ends at a dark module inside the line; a dark run of
    // exactly s ends at a light module or the line's end.
    auto lightExactly = [&](int32_t p, int32_t step) {
        if (p < 0 || p >= n || d.Get(p)) return false;
        const Run r = RunFrom(d, n, p, step);
        return r.length == s && !r.edge;
    };
    auto darkExactly = [&](int32_t p, int32_t step) {
        return p >= 0 && p < n && d.Get(p) && RunFrom(d, n, p, step).length == s;
    };
    if (!lightExactly(i - 1, -1) || !darkExactly(i - 1 - s, -1)) return 0;
    if (!lightExactly(i + c, 1) || !darkExactly(i + c + s, 1)) return 0;
    // The light run beyond each end, the border counting n.
    auto lightBeyond = [&](int32_t p, int32_t step) {
        if (p < 0 || p >= n) return n;
        if (d.Get(p)) return 0;
        const Run r = RunFrom(d, n, p, step);
        return r.edge ? n + r.length : r.length;
    };
    const int32_t before = lightBeyond(i - 1 - 2 * s, -1);
    const int32_t after = lightBeyond(i + c + 2 * s, 1);
    return (after >= 4 * s && before >= s ? 1 : 0) + (before >= 4 * s && after >= s ? 1 : 0);
}

// N1 (runs of five or more) and N3 (1:1:3:1:1 with four light modules on a side)
// along the first `lanes` lines of d, each of n modules; outside a line reads as
// light. scaled(lane, i) checks a larger pattern whose middle run starts at i.
template <class T, int W, class Scaled>
[[gnu::always_inline]] inline int32_t LineScore(const Line<T, W>& d, const Line<T, W>& pairs, int lanes,
                                                Scaled&& scaled)
{
    using L = Line<T, W>;
    const L d1 = d.Down(1);
    const L same = ~(d ^ d1) & pairs; // module i equals module i + 1
    const L same2 = same & same.Down(1);
    const L five = same2 & same2.Down(2); // modules i .. i+4 alike
    int32_t score = five.Count(lanes) + 2 * (five & ~five.Up(1)).Count(lanes);

    // Dark 1, light 1, dark 3, light 1, dark 1 from module i, light at i - 1 and
    // i + 7, and four light modules after it or before it.
    const L three = d & d1 & d.Down(2); // modules i .. i+2 dark
    const L falling = d & ~d1;          // module i dark, i+1 light
    const L rising = ~d & d1;           // module i light, i+1 dark
    // Looking back, Up brings in light for the modules before the line; the
    // windows are built so that no module of the line is lost that way.
    const L u1 = d.Up(1);
    const L ahead2 = d | d1, back2 = d | u1;  // i, i+1 and i-1, i
    const L ahead4 = ahead2 | ahead2.Down(2); // a dark module among i .. i+3
    const L back4 = back2 | back2.Up(2);      // a dark module among i-3 .. i
    const L lightAfter = ~ahead4.Down(7);     // i+7 .. i+10 light
    const L lightBefore = ~back4.Up(1);       // i-4 .. i-1 light
    const L core = falling & three.Down(2) & rising.Down(5);
    const L patterns = core & ((~u1 & lightAfter) | (~d.Down(7) & lightBefore));
    if (patterns.Any(lanes)) {
        const L both = core & ~u1 & lightAfter & ~d.Down(7) & lightBefore; // counted once a side
        score += 40 * (patterns.Count(lanes) + both.Count(lanes));
    }

    // Larger scales are rare: find middle runs that could be one, then check them.
    const L six = three & three.Down(3) & ~back2.Up(1); // i .. i+5 dark, i-2 and i-1 light
    if (six.Any(lanes)) {
        const L d6 = d.Down(6), d7 = d.Down(7), d8 = d.Down(8), u3 = d.Up(3);
        const L scale2 = six & ~d6 & ~d7 & d8 & d.Down(9) & u3 & d.Up(4);
        const L larger = six & d6 & d7 & d8 & ~u3;
        const L candidates = scale2 | larger;
        for (int lane = 0; lane < lanes; ++lane)
            for (int w = 0; w < W; ++w)
                for (uint64_t bits = LaneOf(candidates.w[w], lane); bits; bits &= bits - 1)
                    score += 40 * scaled(lane, 64 * w + __builtin_ctzll(bits));
    }
    return score;
}

// N2 (2 x 2 blocks) on pairs of rows, four pairs at a time, and N4 (balance).
template <int W>
[[gnu::always_inline]] inline int32_t BlocksAndBalance(const std::vector<QRBits>& rows, int32_t n,
                                                       const Line<Lanes, W>& pairs4)
{
    using One = Line<uint64_t, W>;
    using Four = Line<Lanes, W>;
    int32_t score = 0;
    auto row = [&](int32_t i) -> const QRBits& { return rows[static_cast<size_t>(i < n ? i : n - 1)]; };
    for (int32_t i = 0; i + 1 < n; i += 4) {
        Four r, next;
        for (int k = 0; k < W; ++k) {
            const uint64_t upper[4] = {row(i).w[k], row(i + 1).w[k], row(i + 2).w[k], row(i + 3).w[k]};
            const uint64_t lower[4] = {row(i + 1).w[k], row(i + 2).w[k], row(i + 3).w[k], row(i + 4).w[k]};
            std::memcpy(&r.w[k], upper, sizeof upper);
            std::memcpy(&next.w[k], lower, sizeof lower);
        }
        const Four vertical = ~(r ^ next);
        const Four blocks = vertical & vertical.Down(1) & ~(r ^ r.Down(1)) & pairs4;
        score += 3 * blocks.Count(n - 1 - i < 4 ? n - 1 - i : 4);
    }
    int32_t dark = 0;
    for (int32_t i = 0; i < n; ++i) dark += One::From(rows[static_cast<size_t>(i)]).Count(1);
    const int32_t total = n * n;
    score += 10 * ((std::abs(dark * 20 - total * 10) + total - 1) / total - 1);
    return score;
}

// Balance first, then rules that only add: once the sum reaches limit the rest
// cannot bring it below, so scoring stops there and returns what it has.
template <int W>
[[gnu::always_inline]] inline int32_t Score(const std::vector<QRBits>& rows, const std::vector<QRBits>& columns,
                                            int32_t n, int32_t limit)
{
    using One = Line<uint64_t, W>;
    using Four = Line<Lanes, W>;
    const Four pairs4 = Four::From(QRBits::First(n - 1));
    int32_t score = BlocksAndBalance<W>(rows, n, pairs4);

    // N1 and N3 on every row and column, four lines at a time.
    const int32_t lines = 2 * n;
    auto line = [&](int32_t i) -> const QRBits& {
        i = i < lines ? i : lines - 1;
        return i < n ? rows[static_cast<size_t>(i)] : columns[static_cast<size_t>(i - n)];
    };
    for (int32_t i = 0; i < lines && score < limit; i += 4) {
        const QRBits &a = line(i), &b = line(i + 1), &c = line(i + 2), &e = line(i + 3);
        Four d;
        for (int k = 0; k < W; ++k) {
            const uint64_t words[4] = {a.w[k], b.w[k], c.w[k], e.w[k]};
            std::memcpy(&d.w[k], words, sizeof words);
        }
        const int lanes = lines - i < 4 ? lines - i : 4;
        score += LineScore(d, pairs4, lanes,
                           [&](int lane, int32_t at) { return ScaledPatterns(One::From(line(i + lane)), n, at); });
    }
    return score;
}

} // namespace

// With GCC, built for three instruction sets (x86-64-v3 with AVX2, popcount, plain), picked at load time.
#if defined(__GNUC__) && !defined(__clang__)
#define VORLANE_INSTRUCTION_CLONES [[gnu::target_clones("arch=x86-64-v4", "arch=x86-64-v3", "popcnt", "default")]]
#else
#define VORLANE_INSTRUCTION_CLONES
#endif

VORLANE_INSTRUCTION_CLONES void TransposeBits(const std::vector<QRBits>& rows, std::vector<QRBits>& columns, int32_t n)
{
    columns.assign(static_cast<size_t>(n), QRBits{});
    if (n <= 32) {
        // Few modules: bit by bit over the set ones costs less than a block.
        for (int32_t y = 0; y < n; ++y)
            for (uint64_t bits = rows[static_cast<size_t>(y)].w[0]; bits; bits &= bits - 1)
                columns[static_cast<size_t>(__builtin_ctzll(bits))].w[0] |= uint64_t{1} << y;
        return;
    }
    const int blocks = (n + 63) / 64;
    uint64_t a[64];
    for (int bi = 0; bi < blocks; ++bi)
        for (int bj = 0; bj < blocks; ++bj) {
            for (int k = 0; k < 64; ++k) {
                const int y = 64 * bi + k;
                a[k] = y < n ? rows[static_cast<size_t>(y)].w[bj] : 0;
            }
            TransposeBlock(a);
            for (int k = 0; k < 64; ++k) {
                const int x = 64 * bj + k;
                if (x < n) columns[static_cast<size_t>(x)].w[bi] = a[k];
            }
        }
}

VORLANE_INSTRUCTION_CLONES int32_t PenaltyFromBits(const std::vector<QRBits>& rows, const std::vector<QRBits>& cols,
                                                   int32_t n, int32_t limit)
{
    if (n <= 64) return Score<1>(rows, cols, n, limit);
    if (n <= 128) return Score<2>(rows, cols, n, limit);
    return Score<3>(rows, cols, n, limit);
}
