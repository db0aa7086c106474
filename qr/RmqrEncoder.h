#pragma once
// Rectangular Micro QR (ISO/IEC 23941): the 32 sizes R7x43 ... R17x139, levels M and H, numeric, alphanumeric,
// byte and (when asked for) Kanji segments, optimally segmented by the QR family's segmenter.
#include <cstdint>
#include <optional>
#include <span>

#include "QRSymbol.h"
#include "Result.h"

enum class RmqrError { NoSuchSize, LevelNotAvailable, InputTooLong, DoesNotFit };

// Which size: a named one, or the smallest area that holds the data (on equal area the shorter height), among the
// sizes of at most maxHeight rows.
struct RmqrSizeChoice {
    std::optional<int32_t> size; // index 0 ... 31 (RmqrSizeByName)
    int32_t maxHeight = 17;

    static RmqrSizeChoice Automatic() { return {}; }
    static RmqrSizeChoice Named(int32_t index) { return {index, 17}; }
    static RmqrSizeChoice AtMostRows(int32_t rows) { return {std::nullopt, rows}; }
};

struct RmqrOptions {
    RmqrSizeChoice size;
    EcLevel level = EcLevel::M; // M or H: rMQR has no other
    bool kanji = false;         // Shift JIS double-byte characters in Kanji mode
};

// The most digits any size holds (R17x139 at level M): longer input is refused before it is read.
inline constexpr size_t kRmqrMaxInputBytes = 361;

// A symbol with family Rmqr, width and height set, version the size's index + 1 (R7x43 is 1, R17x139 is 32, as
// zint numbers them) and mask 4, rMQR's only pattern. Writers leave kRmqrQuietZone (2) modules around it.
Result<QRSymbol, RmqrError> EncodeRmqr(std::span<const uint8_t> data, const RmqrOptions& options);
