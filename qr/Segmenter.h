#pragma once
// Optimal mode segmentation and the data bit stream, for any QR-family symbol:
// what differs between families and versions comes in a SegmentRules value.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

enum class SegmentMode : int32_t { Byte = 0, Numeric = 1, Alphanumeric = 2, Kanji = 3 };

// How one symbol version writes segments. Arrays are indexed by SegmentMode.
struct SegmentRules {
    int32_t modeBits = 4;                   // width of the mode indicator (0 where a version has one mode)
    std::array<uint8_t, 4> modeIndicator{}; // indicator value of each mode
    std::array<uint8_t, 4> countBits{};     // character-count width of each mode; 0: not allowed here
    int32_t terminatorBits = 4;
};

// QR versions 1-9, 10-26 and 27-40 as three constexpr rules; version outside 1..40 reads as 1.
const SegmentRules& QrSegmentRules(int32_t version);

class Segmenter {
public:
    // Kanji mode is only correct for Shift JIS input: off by default.
    void SetKanjiMode(bool on) { kanjiMode_ = on; }
    bool KanjiMode() const { return kanjiMode_; }
    // Every byte in byte mode (qrencode's -8), whatever its class.
    void SetByteMode(bool on) { byteMode_ = on; }
    bool ByteMode() const { return byteMode_; }

    // Class of a byte: 1 digit, 2 other alphanumeric, 0 anything else.
    static int32_t CharacterClass(uint8_t b);
    static int32_t AlphanumericValue(uint8_t b);
    static bool IsKanjiPair(int32_t first, int32_t second);

    // How many bytes of each class (byte, digit, other alphanumeric), and whether a
    // Kanji pair occurs (Kanji mode on): one pass serves every version.
    struct Census {
        int32_t classes[3] = {0, 0, 0};
        bool kanjiPair = false;
    };
    Census TakeCensus(const uint8_t* data, int32_t count) const;

    // Data bits (terminator not counted) of the cheapest segmentation under the
    // rules, none when the rules cannot carry the data; with modes, the mode of
    // every byte (as uint8_t SegmentMode values).
    std::optional<int32_t> Plan(const uint8_t* data, int32_t count, const SegmentRules& rules,
                                std::vector<uint8_t>* modes, const Census& census) const;
    // Writes the segments of modes and the terminator from bit startBit on; returns the end bit.
    static int32_t Write(uint8_t* bits, const uint8_t* data, int32_t count, const SegmentRules& rules,
                         const std::vector<uint8_t>& modes, int32_t startBit = 0);
    // A bound no segmentation goes below, to skip versions that cannot fit.
    static int32_t MinimumDataBits(const Census& census, const SegmentRules& rules);

private:
    struct PlanCell {
        int32_t previous;
        int32_t cost;
        int32_t run;
    };
    int32_t PlanSearch(const uint8_t* data, int32_t count, const SegmentRules& rules) const;
    template <bool kEveryMode, bool kWithKanji>
    int32_t PlanSearchWith(const uint8_t* data, int32_t count, const SegmentRules& rules) const;
    void TraceModes(int32_t count, int32_t lastMode, std::vector<uint8_t>& modes) const;

    bool kanjiMode_ = false;
    bool byteMode_ = false;
    mutable std::vector<PlanCell> plan_; // scratch kept between calls to avoid reallocations
};
