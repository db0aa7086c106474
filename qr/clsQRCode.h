#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "QRBits.h"

// Error-correction levels as the encoder numbers them; anything else means M.
enum EcLevel : int32_t { EcL = 1, EcM = 2, EcQ = 3, EcH = 4 };

enum class SegmentMode : int32_t { Byte = 0, Numeric = 1, Alphanumeric = 2, Kanji = 3 };

// Leaves new bytes as they are instead of zeroing them: the encoder writes every byte of a module buffer itself,
// and zeroing 31 KB first cost a tenth of a version-40 symbol.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using ModuleBuffer = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

// A finished symbol. modules is the module matrix: stride = n + 3 bytes per row,
// stride rows, cell (x, y) at y * stride + x, 1 dark and 0 light; the three extra
// columns and rows stay 0, so the buffer doubles as an 8-bit top-down bitmap.
struct QRSymbol {
    int32_t version = 0;
    int32_t size = 0;   // n = 4 * version + 17
    int32_t level = 0;  // EcLevel actually used
    int32_t mask = 0;   // mask pattern actually applied
    int32_t stride = 0; // n + 3
    ModuleBuffer modules;
    std::vector<uint8_t> codewords; // interleaved data and check codewords

    bool Dark(int x, int y) const { return modules[static_cast<size_t>(y * stride + x)] != 0; }
};

struct QRLayout;

class clsQRCode {
public:
    clsQRCode();
    ~clsQRCode();
    clsQRCode(const clsQRCode&) = delete;
    clsQRCode& operator=(const clsQRCode&) = delete;

    // Kanji mode is only correct for Shift JIS input: off by default, so UTF-8
    // (what the window and the command line feed) is never re-read as Kanji.
    void SetKanjiMode(bool on) { kanjiMode_ = on; }
    bool KanjiMode() const { return kanjiMode_; }

    // Every byte in one byte-mode segment, as qrencode's -8 asks: no numeric,
    // alphanumeric or Kanji segments. Off by default (the cheapest segmentation).
    void SetByteMode(bool on) { byteMode_ = on; }
    bool ByteMode() const { return byteMode_; }

    // Automatic masks: EncodeSymbol ignores its mask argument, evaluates all eight
    // patterns with the penalty rules of ISO/IEC 18004 and keeps the lowest score.
    // Off by default: the window's symbols carry the pattern it names.
    void SetAutoMask(bool on) { autoMask_ = on; }
    bool AutoMask() const { return autoMask_; }

    // An ECI designator (0..127; 26 says the bytes are UTF-8) that EncodeSymbol
    // writes before the data so readers know how to read it; -1, the default,
    // writes none.
    void SetEci(int32_t designator) { eci_ = designator >= 0 && designator <= 127 ? designator : -1; }
    int32_t Eci() const { return eci_; }

    // The most bytes any symbol holds: 7089 digits at 40-L. Longer input is refused
    // before it is read, so no count beyond this enters any arithmetic.
    static constexpr size_t kMaxInputBytes = 7089;

    // The whole pipeline. version 0 or > 40 picks the smallest fitting version,
    // < 0 gives none; level outside 1..4 means M; mask outside 0..7 means 0
    // (unless SetAutoMask chose automatic masks). None when the data does not fit.
    std::optional<QRSymbol> EncodeSymbol(std::span<const uint8_t> data, int32_t version, int32_t level, int32_t mask);
    // The same for count bytes from data; a count <= 0 is empty data.
    std::optional<QRSymbol> EncodeSymbol(const uint8_t* data, int32_t count, int32_t version, int32_t level,
                                         int32_t mask)
    {
        return EncodeSymbol(std::span<const uint8_t>(data, count > 0 ? static_cast<size_t>(count) : 0), version, level,
                            mask);
    }

    // Version tables and arithmetic.
    static int32_t SymbolSize(int32_t v);
    static int32_t AlignmentsPerSide(int32_t v);
    static int32_t AlignmentCount(int32_t v);
    static int32_t RawDataModules(int32_t v);
    static int32_t TotalCodewords(int32_t v);
    static int32_t AlignmentStep(int32_t v);
    static int32_t EcBlockCount(int32_t v, int32_t level);
    static int32_t EcCodewordsPerBlock(int32_t v, int32_t level);
    // Data codewords C(v, l); 0 outside 1..40.
    static int32_t DataCodewords(int32_t v, int32_t level);
    // Alignment pattern centre coordinates, ascending (empty for version 1).
    static std::vector<int32_t> AlignmentCentres(int32_t v);

    // Segmentation and bit stream.
    static int32_t CharacterClass(uint8_t b);
    static int32_t AlphanumericValue(uint8_t b);
    static bool IsKanjiPair(int32_t first, int32_t second);
    // Writes the optimally segmented stream, terminator included, MSB first into
    // bits (packed, 8 bits a byte), or with sizeOnly just measures it. Returns the
    // number of bits, or -1 without reading data when it is longer than
    // kMaxInputBytes. bits must hold the whole stream; it may be null when sizeOnly.
    int32_t BuildBitStream(uint8_t* bits, std::span<const uint8_t> data, int32_t version, bool sizeOnly) const;
    // The mode chosen for every byte (what BuildBitStream writes); empty beyond kMaxInputBytes.
    std::vector<SegmentMode> PlanSegments(std::span<const uint8_t> data, int32_t version) const;

    // Marks the function modules of a version in a zeroed (n+3)-square buffer:
    // 1 dark, 2 light or reserved, free modules stay 0.
    static void DrawFunctionPatterns(uint8_t* matrix, int32_t version);
    static int32_t BchRemainder(int32_t value, int32_t generator, int32_t topBit, int32_t steps);
    static int32_t FormatBits(int32_t level, int32_t mask);
    static int32_t VersionBits(int32_t version);
    // ISO/IEC 18004 penalty score (rules N1..N4) of a finished symbol.
    static int32_t PenaltyScore(const QRSymbol& symbol);

private:
    struct PlanCell {
        int32_t previous;
        int32_t cost;
        int32_t run;
    };
    // How many bytes of each class (byte, digit, other alphanumeric), and whether
    // Kanji mode is on and two bytes form a Kanji character: one pass serves every
    // version group.
    struct Census {
        int32_t classes[3] = {0, 0, 0};
        bool kanjiPair = false;
    };
    Census TakeCensus(const uint8_t* data, int32_t count) const;
    // Data bits (terminator not counted) of the cheapest segmentation for the
    // version's group; with modes, the mode of every byte. count <= kMaxInputBytes.
    int32_t Plan(const uint8_t* data, int32_t count, int32_t version, std::vector<uint8_t>* modes,
                 const Census& census) const;
    int32_t PlanSearch(const uint8_t* data, int32_t count, int32_t version) const;
    void TraceModes(int32_t count, int32_t lastMode, std::vector<uint8_t>& modes) const;
    static int32_t WriteSegments(uint8_t* bits, const uint8_t* data, int32_t count, int32_t version,
                                 const std::vector<uint8_t>& modes, int32_t startBit = 0);
    // A bound no segmentation goes below, to skip version groups that cannot fit.
    static int32_t MinimumDataBits(const Census& census, int32_t version);
    // The smallest fitting version (or the caller's, if it fits), 0 for none;
    // leaves the chosen segmentation in modes_.
    int32_t ChooseVersion(const uint8_t* data, int32_t count, int32_t version, int32_t level);
    void WriteDataCodewords(const uint8_t* data, int32_t count, int32_t version, int32_t level);
    int32_t HeaderBits() const { return eci_ >= 0 ? kEciHeaderBits : 0; }
    QRLayout& Layout(int32_t version);
    void BuildModules(QRSymbol& symbol, int32_t mask);
    int32_t ChooseMask(const QRLayout& layout, const std::vector<QRBits>& dataRows,
                       const std::vector<QRBits>& dataColumns, int32_t level) const;

    bool kanjiMode_ = false;
    bool byteMode_ = false;
    bool autoMask_ = false;
    int32_t eci_ = -1;
    static constexpr int32_t kEciHeaderBits = 12;
    mutable std::vector<PlanCell> plan_; // scratch kept between calls to avoid reallocations
    std::vector<uint8_t> modes_;
    static constexpr int32_t kStreamBytes = 4096; // the 3706 codewords of version 40 and a stray terminator
    std::array<uint8_t, kStreamBytes> stream_;
    std::array<std::unique_ptr<QRLayout>, 40> layouts_;
};
