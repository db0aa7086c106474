#pragma once
// Micro QR symbols, M1 to M4: one finder, timing along the top and left edges,
// a single Reed-Solomon block and four masks.
#include <cstdint>
#include <optional>
#include <span>

#include "Result.h"
#include "clsQRCode.h"

// What a caller asks of a Micro QR symbol.
struct MicroRequest {
    // 1 .. 4 for M1 .. M4; none takes the smallest version that holds the data at the level.
    std::optional<int32_t> version;
    // L, M or Q (H does not exist in Micro QR). M1 only detects errors; it serves level L,
    // as it does in qrencode.
    EcLevel level = EcL;
    // 0 .. 3; none evaluates the four patterns and keeps the best.
    std::optional<int32_t> mask;
    // Reads Shift JIS double-byte characters as Kanji (M3 and M4 only).
    bool kanji = false;
};

// Modules of light margin around a Micro QR symbol unless the output says otherwise.
inline constexpr int32_t kMicroQuietZone = 2;

// The whole pipeline. The symbol's version is 1 .. 4 (M1 .. M4), its size 2 * version + 9,
// its level the one asked for (L for M1) and its mask 0 .. 3; the module buffer has the
// layout of a QR symbol (stride size + 3, extra rows and columns light).
Result<QRSymbol> EncodeMicro(std::span<const uint8_t> data, const MicroRequest& request);
