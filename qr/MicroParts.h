#pragma once
// The pieces of a Micro QR symbol: capacity table, segment rules and modules.
#include <cstdint>
#include <optional>
#include <span>

#include "QRSymbol.h"
#include "Segmenter.h"

namespace micro {

inline constexpr int32_t kVersions = 4;
// The most bytes any Micro QR symbol holds: 35 digits in M4-L.
inline constexpr int32_t kMaxInputBytes = 35;
// Codewords of the largest symbol (M4).
inline constexpr int32_t kMaxCodewords = 24;

// One row per symbol number, the 3 bits the format information carries.
struct SymbolCapacity {
    int32_t version;
    EcLevel level; // L stands for M1's error detection
    int32_t dataBits;
    int32_t checkCodewords;
};
inline constexpr SymbolCapacity kSymbols[8] = {
    {1, EcLevel::L, 20, 2}, {2, EcLevel::L, 40, 5},  {2, EcLevel::M, 32, 6},   {3, EcLevel::L, 84, 6},
    {3, EcLevel::M, 68, 8}, {4, EcLevel::L, 128, 8}, {4, EcLevel::M, 112, 10}, {4, EcLevel::Q, 80, 14},
};
// M1 and M3 end their data in a 4-bit codeword: dataBits is then not a multiple of 8.
constexpr int32_t DataCodewords(const SymbolCapacity& s) { return (s.dataBits + 7) / 8; }
constexpr int32_t Size(int32_t version) { return 2 * version + 9; }

// The symbol number for a version and level, none where the version lacks the level.
std::optional<int32_t> SymbolNumber(int32_t version, EcLevel level);
// Mode indicators of 0 .. 3 bits, count widths growing with the version; M1 has numeric
// only, M2 adds alphanumeric, M3 and M4 have all four modes.
const SegmentRules& MicroSegmentRules(int32_t version);

// 15-bit format word: symbol number and mask, BCH protected, XOR 0x4445.
int32_t FormatWord(int32_t symbolNumber, int32_t mask);
// Lays the codewords (data codewords, the last one 4 bits in M1 and M3, then check codewords)
// into symbol, which carries its version, masks them with the pattern asked for (0 .. 3) or
// the one the evaluation prefers (dark modules on the right and bottom edges, timing
// excluded: the smaller count times 16 plus the larger, highest wins) and writes the format.
void BuildModules(QRSymbol& symbol, int32_t symbolNumber, std::span<const uint8_t> codewords, int32_t dataBits,
                  std::optional<int32_t> mask);

} // namespace micro
