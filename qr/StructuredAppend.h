#pragma once
// Structured append: data spread over a set of up to 16 QR symbols that readers
// join again. Each symbol begins with the set's header (its position, the count,
// the parity of the whole data), then the encoder's ECI header if it has one set,
// then its share of the data, segmented on its own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "QRSymbol.h"
#include "Result.h"

class clsQRCode;

enum class AppendError {
    InputTooLong,   // more than kMaxAppendBytes
    NoSuchVersion,  // a version outside 1..40
    TooManySymbols, // more than 16 symbols at the named version (or at 40)
};

struct AppendOptions {
    std::optional<int32_t> version; // every symbol of the set; none: the smallest giving at most 16 symbols
    EcLevel level = EcLevel::M;
    MaskChoice mask = MaskChoice::Automatic;
};

inline constexpr int32_t kMaxAppendSymbols = 16;
// Sixteen version-40 symbols of digits; longer input is refused before it is read.
inline constexpr size_t kMaxAppendBytes = 16 * 7089;

// A short English sentence for a failure, for messages.
const char* DescribeAppendError(AppendError error);

// The parity byte of the set's header: XOR of every byte.
uint8_t AppendParity(std::span<const uint8_t> data);

// Where each symbol's share ends (exclusive byte offsets, the last one data.size())
// at the given version, filling each symbol as far as it holds. No share begins
// inside a character: a Kanji pair when the encoder's Kanji mode is on, a UTF-8
// sequence when its ECI designator is 26. Headers are counted in every symbol.
Result<std::vector<size_t>, AppendError> SplitForAppend(const clsQRCode& encoder, std::span<const uint8_t> data,
                                                        int32_t version, EcLevel level);

// The set, in order. Data that one symbol of the version holds without a header
// gives that one plain symbol, as qrencode does. The encoder's Kanji mode and ECI
// designator apply to every symbol.
Result<std::vector<QRSymbol>, AppendError> EncodeStructuredAppend(clsQRCode& encoder, std::span<const uint8_t> data,
                                                                  const AppendOptions& options);
