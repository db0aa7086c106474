#pragma once
#include <cstdlib>

#include "clsQRCode.h"

// The penalty rules read module by module, as qrcodegen reads the standard:
// runs, 2x2 blocks, 1:1:3:1:1 patterns at any scale with light borders, balance.
inline int32_t ReferencePenalty(const QRSymbol& symbol)
{
    const int32_t n = symbol.size;
    const int32_t stride = symbol.stride;
    const uint8_t* m = symbol.modules.data();
    int32_t score = 0;

    // N1 and N3 along one line, read through get(i).
    auto line = [&](auto get) {
        int32_t history[7] = {};
        bool colour = false;
        int32_t run = 0;
        auto push = [&](int32_t length) {
            if (history[0] == 0) length += n; // light border before the line
            for (int k = 6; k > 0; --k) history[k] = history[k - 1];
            history[0] = length;
        };
        auto patterns = [&]() {
            const int32_t u = history[1];
            const bool core = u > 0 && history[2] == u && history[3] == 3 * u && history[4] == u && history[5] == u;
            return (core && history[0] >= 4 * u && history[6] >= u ? 1 : 0) +
                   (core && history[6] >= 4 * u && history[0] >= u ? 1 : 0);
        };
        for (int32_t i = 0; i < n; ++i) {
            const bool dark = get(i);
            if (dark == colour) {
                ++run;
                if (run == 5) score += 3;
                else if (run > 5) ++score;
            } else {
                push(run);
                if (!colour) score += 40 * patterns();
                colour = dark;
                run = 1;
            }
        }
        if (colour) {
            push(run);
            run = 0;
        }
        push(run + n); // light border after the line
        score += 40 * patterns();
    };
    for (int32_t y = 0; y < n; ++y) line([&](int32_t x) { return m[y * stride + x] != 0; });
    for (int32_t x = 0; x < n; ++x) line([&](int32_t y) { return m[y * stride + x] != 0; });

    int32_t dark = 0;
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x) {
            const uint8_t c = m[y * stride + x];
            dark += c;
            if (x + 1 < n && y + 1 < n && c == m[y * stride + x + 1] && c == m[(y + 1) * stride + x] &&
                c == m[(y + 1) * stride + x + 1])
                score += 3;
        }
    const int32_t total = n * n;
    const int32_t k = (std::abs(dark * 20 - total * 10) + total - 1) / total - 1;
    score += 10 * k;
    return score;
}
