#pragma once
// QR version geometry, error-correction blocks, and the format and version words:
// facts the encoder, the layout and the tests read, kept apart from both.
#include <array>
#include <cstdint>

#include "QRSymbol.h"

namespace qrtable {

constexpr int32_t kMaxVersion = 40;
constexpr bool ValidVersion(int32_t v) { return v >= 1 && v <= kMaxVersion; }
// 0 outside 1..40.
constexpr int32_t SymbolSize(int32_t v) { return ValidVersion(v) ? 4 * v + 17 : 0; }
int32_t AlignmentsPerSide(int32_t v);
int32_t AlignmentCount(int32_t v);
int32_t RawDataModules(int32_t v);
int32_t TotalCodewords(int32_t v);
int32_t AlignmentStep(int32_t v);

// Alignment pattern centre coordinates on either axis, ascending; none for version 1.
struct Centres {
    std::array<int32_t, 7> at{};
    int32_t count = 0;
};
Centres AlignmentCentres(int32_t v);

int32_t EcBlockCount(int32_t v, EcLevel level);
int32_t EcCodewordsPerBlock(int32_t v, EcLevel level);
// Data codewords C(v, l); 0 outside 1..40.
int32_t DataCodewords(int32_t v, EcLevel level);

// The remainder of value * x^steps divided by generator (topBit its highest bit).
int32_t BchRemainder(int32_t value, int32_t generator, int32_t topBit, int32_t steps);
// The 15-bit format word of a level and mask pattern (0..7), mask 0x5412 applied.
int32_t FormatBits(EcLevel level, int32_t pattern);
// The 18-bit version word (versions 7..40).
int32_t VersionBits(int32_t version);

} // namespace qrtable
