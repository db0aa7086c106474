#pragma once
// One row or column of up to 192 modules as a bit set: module i is bit i % 64 of
// word i / 64, 1 dark. Modules beyond the symbol stay 0, which reads as the light
// quiet zone around it.
#include <cstdint>

struct QRBits {
    uint64_t w[3] = {0, 0, 0};

    constexpr bool Get(int i) const { return (w[i >> 6] >> (i & 63)) & 1; }
    constexpr void Set(int i) { w[i >> 6] |= uint64_t{1} << (i & 63); }
    constexpr void Clear(int i) { w[i >> 6] &= ~(uint64_t{1} << (i & 63)); }

    // result[i] = this[i + k]: moves later modules down to i (0 < k < 64).
    QRBits Down(int k) const
    {
        return {{(w[0] >> k) | (w[1] << (64 - k)), (w[1] >> k) | (w[2] << (64 - k)), w[2] >> k}};
    }
    // result[i] = this[i - k]: moves earlier modules up to i; light comes in at 0.
    QRBits Up(int k) const { return {{w[0] << k, (w[1] << k) | (w[0] >> (64 - k)), (w[2] << k) | (w[1] >> (64 - k))}}; }
    QRBits operator&(const QRBits& o) const { return {{w[0] & o.w[0], w[1] & o.w[1], w[2] & o.w[2]}}; }
    QRBits operator|(const QRBits& o) const { return {{w[0] | o.w[0], w[1] | o.w[1], w[2] | o.w[2]}}; }
    QRBits operator^(const QRBits& o) const { return {{w[0] ^ o.w[0], w[1] ^ o.w[1], w[2] ^ o.w[2]}}; }
    QRBits operator~() const { return {{~w[0], ~w[1], ~w[2]}}; }
    bool Any() const { return (w[0] | w[1] | w[2]) != 0; }
    int Count() const { return __builtin_popcountll(w[0]) + __builtin_popcountll(w[1]) + __builtin_popcountll(w[2]); }

    // bits with bit 0 at module x (0 <= x < 192); what lands beyond 191 falls off.
    static QRBits At(uint64_t bits, int x)
    {
        QRBits b;
        const int w = x >> 6, shift = x & 63;
        b.w[w] = bits << shift;
        if (shift && w < 2) b.w[w + 1] = bits >> (64 - shift);
        return b;
    }

    // Bits 0 .. n-1 set.
    static QRBits First(int n)
    {
        QRBits b;
        for (int i = 0; i < 3; ++i) {
            const int bits = n - 64 * i;
            b.w[i] = bits >= 64 ? ~uint64_t{0} : bits <= 0 ? 0 : (uint64_t{1} << bits) - 1;
        }
        return b;
    }
};
