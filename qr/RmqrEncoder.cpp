// The rMQR entry: size choice, bit stream and padding, blocks, modules.
#include "RmqrEncoder.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "QRBlocks.h"
#include "RmqrMatrix.h"
#include "RmqrTables.h"
#include "Segmenter.h"

namespace {

SegmentRules RulesFor(int32_t index)
{
    const RmqrSize& s = RmqrSizeAt(index);
    SegmentRules rules;
    rules.modeBits = 3;
    rules.modeIndicator = {0x3, 0x1, 0x2, 0x4}; // byte 011, numeric 001, alphanumeric 010, Kanji 100
    rules.countBits = {s.countBits[0], s.countBits[1], s.countBits[2], s.countBits[3]};
    rules.terminatorBits = 3;
    return rules;
}

// Which sizes hold the data, and the segmentation for the one chosen. Sizes share count widths, so the cheapest
// stream is searched once per set of widths.
class SizeChooser {
public:
    SizeChooser(const Segmenter& segmenter, std::span<const uint8_t> data, EcLevel level)
        : segmenter_(segmenter), data_(data.data()), count_(static_cast<int32_t>(data.size())), level_(level),
          census_(segmenter.TakeCensus(data_, count_))
    {
    }

    bool Fits(int32_t index)
    {
        const SegmentRules rules = RulesFor(index);
        const int32_t capacity = 8 * RmqrDataCodewords(index, level_);
        if (Segmenter::MinimumDataBits(census_, rules) > capacity) return false;
        const uint32_t key = Key(rules);
        for (const auto& [k, bits] : known_)
            if (k == key) return bits <= capacity;
        const std::optional<int32_t> planned = segmenter_.Plan(data_, count_, rules, nullptr, census_);
        const int32_t bits = planned ? *planned : INT32_MAX;
        known_.push_back({key, bits});
        return bits <= capacity;
    }

    std::vector<uint8_t> Modes(int32_t index) const
    {
        std::vector<uint8_t> modes;
        segmenter_.Plan(data_, count_, RulesFor(index), &modes, census_);
        return modes;
    }

private:
    static uint32_t Key(const SegmentRules& r)
    {
        return uint32_t{r.countBits[0]} | uint32_t{r.countBits[1]} << 8 | uint32_t{r.countBits[2]} << 16 |
               uint32_t{r.countBits[3]} << 24;
    }

    const Segmenter& segmenter_;
    const uint8_t* data_;
    int32_t count_;
    EcLevel level_;
    Segmenter::Census census_;
    std::vector<std::pair<uint32_t, int32_t>> known_;
};

Result<int32_t, RmqrError> ChooseSize(SizeChooser& chooser, const RmqrSizeChoice& choice)
{
    if (choice.size) {
        if (*choice.size < 0 || *choice.size >= kRmqrSizes) return Fail(RmqrError::NoSuchSize);
        if (!chooser.Fits(*choice.size)) return Fail(RmqrError::DoesNotFit);
        return *choice.size;
    }
    if (choice.maxHeight < RmqrSizeAt(0).height) return Fail(RmqrError::NoSuchSize);
    for (const uint8_t index : RmqrSizesBySmallestArea())
        if (RmqrSizeAt(index).height <= choice.maxHeight && chooser.Fits(index)) return int32_t{index};
    return Fail(RmqrError::DoesNotFit);
}

} // namespace

Result<QRSymbol, RmqrError> EncodeRmqr(std::span<const uint8_t> data, const RmqrOptions& options)
{
    if (options.level != EcLevel::M && options.level != EcLevel::H) return Fail(RmqrError::LevelNotAvailable);
    if (data.size() > kRmqrMaxInputBytes) return Fail(RmqrError::InputTooLong);
    Segmenter segmenter;
    segmenter.SetKanjiMode(options.kanji);
    SizeChooser chooser(segmenter, data, options.level);
    const auto chosen = ChooseSize(chooser, options.size);
    if (!chosen) return Fail(chosen.error());
    const int32_t index = *chosen;
    const RmqrSize& size = RmqrSizeAt(index);
    const int32_t levelIndex = RmqrLevelIndex(options.level);
    const int32_t dataCodewords = RmqrDataCodewords(index, options.level);

    // Terminator (cut short where the capacity ends), zero bits to the codeword boundary, then 0xEC, 0x11, ...
    std::array<uint8_t, 256> stream;
    const int32_t end = Segmenter::Write(stream.data(), data.data(), static_cast<int32_t>(data.size()), RulesFor(index),
                                         chooser.Modes(index));
    for (int32_t at = (end + 7) / 8, i = 0; at < dataCodewords; ++at, ++i)
        stream[static_cast<size_t>(at)] = i % 2 == 0 ? 0xEC : 0x11;

    QRSymbol symbol;
    symbol.family = SymbolFamily::Rmqr;
    symbol.version = index + 1;
    symbol.level = options.level;
    symbol.codewords.resize(size.totalCodewords);
    const BlockShape shape(dataCodewords, size.blocks[levelIndex], size.ecPerBlock[levelIndex]);
    if (!EncodeBlocks(stream.data(), shape, symbol.codewords.data())) return Fail(RmqrError::NoSuchSize);
    BuildRmqrModules(symbol, index);
    return symbol;
}
