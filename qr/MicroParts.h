#pragma once
// The pieces of a Micro QR symbol: capacity table, segment rules, layout and masks.
#include <cstdint>
#include <optional>
#include <span>

#include "clsQRCode.h"

namespace micro {

inline constexpr int32_t kVersions = 4;
// The most bytes any Micro QR symbol holds: 35 digits in M4-L.
inline constexpr int32_t kMaxInputBytes = 35;
// Check codewords of the largest block (M4-Q) and codewords of the largest symbol (M4).
inline constexpr int32_t kMaxCheckCodewords = 14;
inline constexpr int32_t kMaxCodewords = 24;

// One row per symbol number, the 3 bits the format information carries.
struct SymbolSpec {
    int32_t version;
    EcLevel level; // L stands for M1's error detection
    int32_t dataBits;
    int32_t checkCodewords;
};
inline constexpr SymbolSpec kSymbols[8] = {
    {1, EcL, 20, 2}, {2, EcL, 40, 5},  {2, EcM, 32, 6},   {3, EcL, 84, 6},
    {3, EcM, 68, 8}, {4, EcL, 128, 8}, {4, EcM, 112, 10}, {4, EcQ, 80, 14},
};
// M1 and M3 end their data in a 4-bit codeword: dataBits is then not a multiple of 8.
constexpr int32_t DataCodewords(const SymbolSpec& s) { return (s.dataBits + 7) / 8; }
constexpr int32_t Size(int32_t version) { return 2 * version + 9; }

// The symbol number for a version and level, none where the version lacks the level.
std::optional<int32_t> SymbolNumber(int32_t version, EcLevel level);

// How a version writes segments: mode indicator width, each mode's indicator value and
// count width (0 where the version lacks the mode), and the terminator's length.
struct SegmentRules {
    int32_t modeBits;
    int32_t modeValue[4]; // by SegmentMode
    int32_t countBits[4];
    int32_t terminatorBits;
};
SegmentRules RulesFor(int32_t version);

// The cheapest split of one input into segments, version by version.
class SegmentPlanner {
public:
    // data holds at most kMaxInputBytes.
    SegmentPlanner(std::span<const uint8_t> data, bool kanji);

    // Data bits of the cheapest segmentation under these rules (terminator not counted), or
    // none when it exceeds capacity bits or some byte has no mode in this version.
    std::optional<int32_t> Plan(const SegmentRules& rules, int32_t capacity);
    // Writes the segmentation of the last Plan MSB first into out (zeroed, big enough).
    void Write(uint8_t* out) const;

private:
    struct Cell {
        int32_t previous; // mode before the segment that holds this character, -1 at the start
        int32_t cost;
        int32_t run; // characters of the segment so far
    };
    void Search();
    int BestEnd() const;

    std::span<const uint8_t> data_;
    int32_t count_;
    uint8_t possible_[kMaxInputBytes]; // bit m: mode m can carry byte i (Kanji: bytes i-1 and i)
    uint8_t everywhere_ = 0;           // modes every byte allows
    uint8_t anywhere_ = 0;             // modes some byte allows
    int32_t leastBits_ = 0;            // a bound no segmentation goes below, headers aside
    SegmentRules rules_{};
    int single_ = -1; // the one mode of the whole input, when no search was needed
    Cell cells_[kMaxInputBytes][4];
};

// 15-bit format word: symbol number and mask, BCH protected, XOR 0x4445.
int32_t FormatWord(int32_t symbolNumber, int32_t mask);
// 1 where mask 0 .. 3 inverts module (x, y).
bool MaskBit(int32_t mask, int32_t x, int32_t y);
// Lays the codewords (data codewords, the last one 4 bits in M1 and M3, then check codewords)
// into symbol, which carries its version, masks them with the requested mask or the one the
// evaluation prefers (dark modules on the right and bottom edges, timing excluded: the smaller
// count times 16 plus the larger, highest wins) and writes the format information.
void BuildModules(QRSymbol& symbol, int32_t symbolNumber, std::span<const uint8_t> codewords, int32_t dataBits,
                  std::optional<int32_t> mask);

} // namespace micro
