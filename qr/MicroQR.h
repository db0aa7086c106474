#pragma once
// Micro QR symbols, M1 to M4: one finder, timing along the top and left edges,
// a single Reed-Solomon block and four masks.
#include <cstdint>
#include <optional>
#include <span>

#include "QRSymbol.h"
#include "Result.h"

enum class MicroError { InputTooLong, NoSuchVersion, NoSuchLevel, NoSuchMask, DoesNotFit };

// What a caller asks of a Micro QR symbol.
struct MicroOptions {
    // 1 .. 4 for M1 .. M4; none takes the smallest version that holds the data at the level.
    std::optional<int32_t> version;
    // L, M or Q (Micro QR has no H). M1 only detects errors; it serves level L, as in qrencode.
    EcLevel level = EcLevel::L;
    // Pattern0 .. Pattern3, or Automatic: the four patterns evaluated and the best kept.
    MaskChoice mask = MaskChoice::Automatic;
    // Reads Shift JIS double-byte characters as Kanji (M3 and M4 only).
    bool kanji = false;
};

// Modules of light margin around a Micro QR symbol unless the output says otherwise.
inline constexpr int32_t kMicroQuietZone = 2;

// The whole pipeline. The symbol has family Micro, version 1 .. 4 (M1 .. M4), size, width and
// height 2 * version + 9, the level asked for (L for M1) and mask 0 .. 3; its codewords are the
// data codewords (M1's and M3's 4-bit last one in the high half of its byte), then the check
// codewords of the single block.
Result<QRSymbol, MicroError> EncodeMicro(std::span<const uint8_t> data, const MicroOptions& options);
