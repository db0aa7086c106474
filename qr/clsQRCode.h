#pragma once
// The QR encoder: version choice, padding, blocks, placement, masking. The typed
// entry is Encode; EncodeSymbol is the int32_t entry the window calls.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "QRBits.h"
#include "QRSymbol.h"
#include "QRTables.h"
#include "Result.h"
#include "Segmenter.h"

enum class EncodeError { InputTooLong, NoSuchVersion, DoesNotFit };

// The header a symbol of a structured-append set begins with (mode 0011).
struct AppendHeader {
    static constexpr int32_t kBits = 20;
    int32_t position = 0; // 0..15, this symbol's place in the set
    int32_t total = 2;    // 1..16 symbols in the set
    uint8_t parity = 0;   // XOR of every byte of the whole data
};

struct EncodeOptions {
    std::optional<int32_t> version; // 1..40; none: the smallest that holds the data
    EcLevel level = EcLevel::M;
    MaskChoice mask = MaskChoice::Pattern0;
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
    void SetKanjiMode(bool on) { segmenter_.SetKanjiMode(on); }
    bool KanjiMode() const { return segmenter_.KanjiMode(); }

    // Every byte in one byte-mode segment, as qrencode's -8 asks: no numeric,
    // alphanumeric or Kanji segments. Off by default (the cheapest segmentation).
    void SetByteMode(bool on) { segmenter_.SetByteMode(on); }
    bool ByteMode() const { return segmenter_.ByteMode(); }

    // For EncodeSymbol only: its mask argument is ignored and the pattern with the
    // lowest ISO/IEC 18004 penalty kept. Off by default: the window's symbols carry
    // the pattern it names.
    void SetAutoMask(bool on) { autoMask_ = on; }
    bool AutoMask() const { return autoMask_; }

    // An ECI designator (0..127; 26 says the bytes are UTF-8) written before the
    // data so readers know how to read it; -1, the default, writes none.
    void SetEci(int32_t designator) { eci_ = designator >= 0 && designator <= 127 ? designator : -1; }
    int32_t Eci() const { return eci_; }
    static constexpr int32_t kEciHeaderBits = 12; // mode 0111 and the 8-bit designator

    // The most bytes any symbol holds: 7089 digits at 40-L. Longer input is refused
    // before it is read, so no count beyond this enters any arithmetic.
    static constexpr size_t kMaxInputBytes = 7089;

    // The whole pipeline.
    Result<QRSymbol, EncodeError> Encode(std::span<const uint8_t> data, const EncodeOptions& options);
    // A symbol of a structured-append set: its header first, then any ECI header, then the data.
    Result<QRSymbol, EncodeError> Encode(std::span<const uint8_t> data, const EncodeOptions& options,
                                         const AppendHeader& header);

    // The int32_t entry: version 0 or > 40 picks the smallest fitting version, < 0
    // gives none; level outside 1..4 means M; mask outside 0..7 means 0 (unless
    // SetAutoMask chose automatic masks). None when the data does not fit.
    std::optional<QRSymbol> EncodeSymbol(std::span<const uint8_t> data, int32_t version, int32_t level, int32_t mask);
    // The same for count bytes from data; a count <= 0 is empty data.
    std::optional<QRSymbol> EncodeSymbol(const uint8_t* data, int32_t count, int32_t version, int32_t level,
                                         int32_t mask)
    {
        return EncodeSymbol(std::span<const uint8_t>(data, count > 0 ? static_cast<size_t>(count) : 0), version, level,
                            mask);
    }

    // Version tables (QRTables.h) by the int32_t level numbers.
    static int32_t SymbolSize(int32_t v) { return qrtable::SymbolSize(v); }
    static int32_t AlignmentsPerSide(int32_t v) { return qrtable::AlignmentsPerSide(v); }
    static int32_t AlignmentCount(int32_t v) { return qrtable::AlignmentCount(v); }
    static int32_t RawDataModules(int32_t v) { return qrtable::RawDataModules(v); }
    static int32_t TotalCodewords(int32_t v) { return qrtable::TotalCodewords(v); }
    static int32_t AlignmentStep(int32_t v) { return qrtable::AlignmentStep(v); }
    static int32_t EcBlockCount(int32_t v, int32_t level) { return qrtable::EcBlockCount(v, CoerceLevel(level)); }
    static int32_t EcCodewordsPerBlock(int32_t v, int32_t level)
    {
        return qrtable::EcCodewordsPerBlock(v, CoerceLevel(level));
    }
    static int32_t DataCodewords(int32_t v, int32_t level) { return qrtable::DataCodewords(v, CoerceLevel(level)); }
    static std::vector<int32_t> AlignmentCentres(int32_t v);
    static int32_t BchRemainder(int32_t value, int32_t generator, int32_t topBit, int32_t steps)
    {
        return qrtable::BchRemainder(value, generator, topBit, steps);
    }
    static int32_t FormatBits(int32_t level, int32_t mask)
    {
        return qrtable::FormatBits(CoerceLevel(level), mask >= 0 && mask <= 7 ? mask : 0);
    }
    static int32_t VersionBits(int32_t version) { return qrtable::VersionBits(version); }

    // Segmentation and bit stream (Segmenter.h) with QR's rules.
    static int32_t CharacterClass(uint8_t b) { return Segmenter::CharacterClass(b); }
    static int32_t AlphanumericValue(uint8_t b) { return Segmenter::AlphanumericValue(b); }
    static bool IsKanjiPair(int32_t first, int32_t second) { return Segmenter::IsKanjiPair(first, second); }
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
    // ISO/IEC 18004 penalty score (rules N1..N4) of a finished symbol.
    static int32_t PenaltyScore(const QRSymbol& symbol);

private:
    // The smallest fitting version (or the caller's, if it fits), 0 for none;
    // leaves the chosen segmentation in modes_.
    int32_t ChooseVersion(const uint8_t* data, int32_t count, std::optional<int32_t> version, EcLevel level);
    void WriteDataCodewords(const uint8_t* data, int32_t count, int32_t version, EcLevel level);
    int32_t HeaderBits() const { return (eci_ >= 0 ? kEciHeaderBits : 0) + (append_ ? AppendHeader::kBits : 0); }
    static const QRLayout& Layout(int32_t version);
    void BuildModules(QRSymbol& symbol, MaskChoice mask);
    int32_t ChooseMask(const QRLayout& layout, const std::vector<QRBits>& dataRows,
                       const std::vector<QRBits>& dataColumns, EcLevel level) const;

    Segmenter segmenter_;
    bool autoMask_ = false;
    int32_t eci_ = -1;
    std::optional<AppendHeader> append_; // set only while a set's symbol is encoded
    std::vector<uint8_t> modes_;
    static constexpr int32_t kStreamBytes = 4096; // the 3706 codewords of version 40 and a stray terminator
    std::array<uint8_t, kStreamBytes> stream_;
};
