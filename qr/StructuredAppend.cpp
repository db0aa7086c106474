// Structured append: the split by measured stream sizes, then one symbol a share.
#include "StructuredAppend.h"

#include <algorithm>

#include "QRTables.h"
#include "Segmenter.h"
#include "clsQRCode.h"

namespace {

// Bits a share may spend on segments (terminator not counted: it may be cut short).
int32_t ShareBudget(const clsQRCode& encoder, int32_t version, EcLevel level, bool header)
{
    const int32_t prefix = (header ? AppendHeader::kBits : 0) + (encoder.Eci() >= 0 ? clsQRCode::kEciHeaderBits : 0);
    return 8 * qrtable::DataCodewords(version, level) - prefix;
}

bool Fits(const clsQRCode& encoder, std::span<const uint8_t> share, int32_t version, int32_t budget)
{
    if (share.size() > clsQRCode::kMaxInputBytes) return false;
    const int32_t bits = encoder.BuildBitStream(nullptr, share, version, true);
    return bits >= 0 && bits - QrSegmentRules(version).terminatorBits <= budget;
}

constexpr int32_t kEciUtf8 = 26;

// Marks the bytes no share may begin with: the second byte of a Kanji pair (Kanji
// mode on; pairs read from the start as Shift JIS does), and UTF-8 continuation
// bytes when the ECI says UTF-8, so that every symbol holds whole characters (zbar
// converts each symbol's bytes on its own and drops a set with a split character).
std::vector<bool> CharacterInsides(const clsQRCode& encoder, std::span<const uint8_t> data)
{
    std::vector<bool> inside;
    const bool utf8 = encoder.Eci() == kEciUtf8;
    if (!encoder.KanjiMode() && !utf8) return inside;
    inside.assign(data.size() + 1, false);
    for (size_t i = 0; utf8 && i < data.size(); ++i) inside[i] = (data[i] & 0xC0) == 0x80;
    for (size_t i = 0; encoder.KanjiMode() && i + 1 < data.size(); ++i)
        if (Segmenter::IsKanjiPair(data[i], data[i + 1])) inside[++i] = true;
    return inside;
}

// The search for the end of one share: lo_ is a cut known to fit (at first the
// start: no share), hi_ one known not to (at first beyond the longest possible);
// every probe measures one cut between them and moves one of the two.
class CutSearch {
public:
    CutSearch(const clsQRCode& encoder, std::span<const uint8_t> data, const std::vector<bool>& inside, size_t start,
              int32_t version, int32_t budget)
        : encoder_(encoder), data_(data), inside_(inside), start_(start), version_(version), budget_(budget),
          // No character costs less than 10/3 bits, so no share is longer.
          limit_(std::min(data.size(), start + static_cast<size_t>(std::max(budget, 0)) * 3 / 10 + 1)), lo_(start),
          hi_(limit_ + 1)
    {
    }

    // The end of the longest share that fits; the start when not even one character does.
    size_t Longest(size_t guess)
    {
        // The last share usually takes the rest.
        if (limit_ == data_.size() && At(limit_) == Probe::Fits) return lo_;
        // Shares of like data are alike: steps doubling away from the last share's length bracket the cut.
        const Probe first = guess > 0 ? At(std::min(start_ + guess, limit_)) : Probe::Nothing;
        for (size_t step = 8; first != Probe::Nothing; step *= 2) {
            const Probe next = first == Probe::Fits ? At(std::min(lo_ + step, limit_))
                                                    : At(hi_ > start_ + step ? hi_ - step : start_ + 1);
            if (next != first) break;
        }
        while (hi_ - lo_ > 1 && At(lo_ + (hi_ - lo_) / 2) != Probe::Nothing) {}
        return lo_;
    }

private:
    enum class Probe { Fits, DoesNot, Nothing };

    bool Inside(size_t at) const { return !inside_.empty() && inside_[at]; }

    // The nearest character boundary at or below (or above) at, at most 3 bytes
    // away (a UTF-8 character's length); at itself in malformed text.
    size_t Boundary(size_t at, bool up) const
    {
        size_t cut = at;
        for (int step = 0; step < 3 && Inside(cut) && (up ? cut < data_.size() : cut > start_); ++step)
            cut = up ? cut + 1 : cut - 1;
        return Inside(cut) ? at : cut;
    }

    // Measures the boundary nearest end between lo_ and hi_, if there is one.
    Probe At(size_t end)
    {
        size_t cut = Boundary(end, false);
        if (cut <= lo_) cut = Boundary(end, true);
        if (cut <= lo_ || cut >= hi_) return Probe::Nothing;
        const bool fits = Fits(encoder_, data_.subspan(start_, cut - start_), version_, budget_);
        (fits ? lo_ : hi_) = cut;
        return fits ? Probe::Fits : Probe::DoesNot;
    }

    const clsQRCode& encoder_;
    std::span<const uint8_t> data_;
    const std::vector<bool>& inside_;
    size_t start_;
    int32_t version_, budget_;
    size_t limit_, lo_, hi_;
};

} // namespace

const char* DescribeAppendError(AppendError error)
{
    switch (error) {
    case AppendError::InputTooLong: return "the data is longer than 16 symbols of any version hold";
    case AppendError::NoSuchVersion: return "the version is outside 1..40";
    case AppendError::TooManySymbols: return "the data needs more than 16 symbols at this version";
    }
    return "unknown failure";
}

uint8_t AppendParity(std::span<const uint8_t> data)
{
    uint8_t parity = 0;
    for (uint8_t b : data) parity ^= b;
    return parity;
}

Result<std::vector<size_t>, AppendError> SplitForAppend(const clsQRCode& encoder, std::span<const uint8_t> data,
                                                        int32_t version, EcLevel level)
{
    if (!qrtable::ValidVersion(version)) return Fail(AppendError::NoSuchVersion);
    if (data.size() > kMaxAppendBytes) return Fail(AppendError::InputTooLong);
    const int32_t budget = ShareBudget(encoder, version, level, true);
    const std::vector<bool> inside = CharacterInsides(encoder, data);
    std::vector<size_t> ends;
    size_t start = 0, guess = 0;
    do {
        if (static_cast<int32_t>(ends.size()) == kMaxAppendSymbols) return Fail(AppendError::TooManySymbols);
        const size_t end = CutSearch(encoder, data, inside, start, version, budget).Longest(guess);
        if (end == start && !data.empty()) return Fail(AppendError::TooManySymbols);
        ends.push_back(end);
        guess = end - start;
        start = end;
    } while (start < data.size());
    return ends;
}

namespace {

// The smallest version whose split gives at most 16 symbols, with its split.
Result<std::pair<int32_t, std::vector<size_t>>, AppendError> SmallestSet(const clsQRCode& encoder,
                                                                         std::span<const uint8_t> data, EcLevel level)
{
    Segmenter segmenter;
    segmenter.SetKanjiMode(encoder.KanjiMode());
    const Segmenter::Census census = segmenter.TakeCensus(data.data(), static_cast<int32_t>(data.size()));
    for (int32_t v = 1; v <= qrtable::kMaxVersion; ++v) {
        // Shares lose at most a bit each to rounding against the bound for the whole.
        const int64_t least = int64_t{Segmenter::MinimumDataBits(census, QrSegmentRules(v))} - kMaxAppendSymbols;
        if (least > int64_t{kMaxAppendSymbols} * ShareBudget(encoder, v, level, true)) continue;
        auto split = SplitForAppend(encoder, data, v, level);
        if (split) return std::pair{v, std::move(*split)};
    }
    return Fail(AppendError::TooManySymbols);
}

} // namespace

Result<std::vector<QRSymbol>, AppendError> EncodeStructuredAppend(clsQRCode& encoder, std::span<const uint8_t> data,
                                                                  const AppendOptions& options)
{
    if (options.version && !qrtable::ValidVersion(*options.version)) return Fail(AppendError::NoSuchVersion);
    if (data.size() > kMaxAppendBytes) return Fail(AppendError::InputTooLong);
    int32_t version = options.version.value_or(0);
    std::vector<size_t> ends;
    if (options.version) {
        auto split = SplitForAppend(encoder, data, version, options.level);
        if (!split) return Fail(split.error());
        ends = std::move(*split);
    } else {
        auto set = SmallestSet(encoder, data, options.level);
        if (!set) return Fail(set.error());
        version = set->first;
        ends = std::move(set->second);
    }

    EncodeOptions symbolOptions;
    symbolOptions.version = version;
    symbolOptions.level = options.level;
    symbolOptions.mask = options.mask;
    // A set of one needs no header; without it, data a little too long for one
    // symbol with the header may still fit in one.
    const int32_t plainBudget = ShareBudget(encoder, version, options.level, false);
    if (ends.size() <= 2 && Fits(encoder, data, version, plainBudget)) ends.assign(1, data.size());
    const auto total = static_cast<int32_t>(ends.size());
    const uint8_t parity = AppendParity(data);
    std::vector<QRSymbol> set;
    set.reserve(ends.size());
    size_t start = 0;
    for (int32_t i = 0; i < total; ++i) {
        const size_t end = ends[static_cast<size_t>(i)];
        const auto share = data.subspan(start, end - start);
        auto symbol = total > 1 ? encoder.Encode(share, symbolOptions, AppendHeader{i, total, parity})
                                : encoder.Encode(share, symbolOptions);
        // The split measured every share with the encoder's own planner: a failure here is a bug.
        if (!symbol) return Fail(AppendError::TooManySymbols);
        set.push_back(std::move(*symbol));
        start = end;
    }
    return set;
}
