// Optimal mode segmentation and the data bit stream.
#include <algorithm>
#include <cstring>

#include "QRBitWriter.h"
#include "Segmenter.h"

namespace {

constexpr int kModes = 4;
constexpr int32_t kImpossible = 0x70000000; // the cost of a mode a byte cannot take
constexpr int kByte = 0, kNumeric = 1, kAlnum = 2, kKanji = 3;

// QR's count widths grow by version group: 1-9, 10-26, 27-40.
constexpr SegmentRules QrRules(int32_t k)
{
    SegmentRules r;
    r.modeBits = 4;
    r.modeIndicator = {0x4, 0x1, 0x2, 0x8};
    r.countBits = {static_cast<uint8_t>((k & 4) ? 16 : 8), static_cast<uint8_t>(k + 8), static_cast<uint8_t>(k + 7),
                   static_cast<uint8_t>(k + 6)};
    r.terminatorBits = 4;
    return r;
}
constexpr SegmentRules kQrRules[3] = {QrRules(2), QrRules(4), QrRules(6)};

// The count widths and the longest segment each allows; limit 0 where a mode is not allowed.
struct Limits {
    int32_t width[kModes];
    int32_t limit[kModes];
    explicit Limits(const SegmentRules& r)
    {
        for (int m = 0; m < kModes; ++m) {
            width[m] = r.countBits[static_cast<size_t>(m)];
            limit[m] = width[m] > 0 ? (1 << width[m]) - 1 : 0;
        }
    }
};

// Class of each byte: 1 digit, 2 other alphanumeric, 0 anything else.
struct ClassTable {
    uint8_t cls[256]{};
    uint8_t alnum[256]{};
    constexpr ClassTable()
    {
        for (int c = '0'; c <= '9'; ++c) {
            cls[c] = 1;
            alnum[c] = static_cast<uint8_t>(c - '0');
        }
        for (int c = 'A'; c <= 'Z'; ++c) {
            cls[c] = 2;
            alnum[c] = static_cast<uint8_t>(c - 55);
        }
        const char extra[] = " $%*+-./:";
        for (int i = 0; i < 9; ++i) {
            cls[static_cast<uint8_t>(extra[i])] = 2;
            alnum[static_cast<uint8_t>(extra[i])] = static_cast<uint8_t>(36 + i);
        }
    }
};
constexpr ClassTable kClasses;

} // namespace

const SegmentRules& QrSegmentRules(int32_t version)
{
    return kQrRules[version >= 27 && version <= 40 ? 2 : version >= 10 && version <= 40 ? 1 : 0];
}

int32_t Segmenter::CharacterClass(uint8_t b) { return kClasses.cls[b]; }

int32_t Segmenter::AlphanumericValue(uint8_t b) { return kClasses.alnum[b]; }

bool Segmenter::IsKanjiPair(int32_t first, int32_t second)
{
    // Shift JIS double-byte codes that QR Kanji mode can carry (up to 0xEBBF).
    if (second < 0x40 || second > 0xFC || second == 0x7F) return false;
    if ((first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xEA)) return true;
    return first == 0xEB && second <= 0xBF;
}

Segmenter::Census Segmenter::TakeCensus(const uint8_t* data, int32_t count) const
{
    Census census;
    // Two counters in registers: counting into the array would make every byte
    // wait for the store of the one before.
    int32_t digits = 0, others = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t c = kClasses.cls[data[i]];
        digits += c == 1;
        others += c == 2;
    }
    census.classes[1] = digits;
    census.classes[2] = others;
    census.classes[0] = count - digits - others;
    for (int32_t i = 1; kanjiMode_ && i < count && !census.kanjiPair; ++i)
        census.kanjiPair = IsKanjiPair(data[i - 1], data[i]);
    return census;
}

std::optional<int32_t> Segmenter::Plan(const uint8_t* data, int32_t count, const SegmentRules& rules,
                                       std::vector<uint8_t>* modes, const Census& census) const
{
    const Limits g(rules);
    if (count <= 0) {
        if (modes) modes->clear();
        return 0;
    }

    // Inputs of a single class need no search: the search is known to end in one
    // mode (split only where the count field is full), so its cost is a formula.
    const bool allBytes = (byteMode_ || (census.classes[0] == count && !census.kanjiPair)) && g.limit[kByte] > 0;
    const bool allDigits = census.classes[1] == count && g.limit[kNumeric] > 0;
    if (allBytes) {
        if (modes) modes->assign(static_cast<size_t>(count), kByte);
        const int32_t segments = (count + g.limit[kByte] - 1) / g.limit[kByte];
        return 8 * count + segments * (rules.modeBits + g.width[kByte]);
    }
    if (allDigits && count <= g.limit[kNumeric]) {
        if (modes) modes->assign(static_cast<size_t>(count), kNumeric);
        const int32_t lastGroup[3] = {0, 4, 7}; // bits of a last group of 0, 1 or 2 digits
        return rules.modeBits + g.width[kNumeric] + 10 * (count / 3) + lastGroup[count % 3];
    }

    const int32_t total = PlanSearch(data, count, rules);
    if (total >= kImpossible) return std::nullopt;
    if (modes) {
        const PlanCell* last = plan_.data() + (count - 1) * kModes;
        int32_t bestMode = 0;
        for (int m = 1; m < kModes; ++m)
            if (last[m].cost < last[bestMode].cost) bestMode = m;
        TraceModes(count, bestMode, *modes);
    }
    return total;
}

// Fills plan_: for every byte and mode the cheapest stream up to that byte ending
// in that mode, and the mode before it. Returns the cheapest total.
int32_t Segmenter::PlanSearch(const uint8_t* data, int32_t count, const SegmentRules& rules) const
{
    // QR allows every mode in every version: its search is compiled without the checks.
    // Without Kanji mode (the usual case) the search looks at three modes instead of four.
    const bool everyMode = std::all_of(rules.countBits.begin(), rules.countBits.end(), [](uint8_t b) { return b > 0; });
    if (kanjiMode_)
        return everyMode ? PlanSearchWith<true, true>(data, count, rules)
                         : PlanSearchWith<false, true>(data, count, rules);
    return everyMode ? PlanSearchWith<true, false>(data, count, rules)
                     : PlanSearchWith<false, false>(data, count, rules);
}

template <bool kEveryMode, bool kWithKanji>
int32_t Segmenter::PlanSearchWith(const uint8_t* data, int32_t count, const SegmentRules& rules) const
{
    constexpr int kSearched = kWithKanji ? kModes : kKanji;
    const Limits g(rules);
    const bool allowed[kModes] = {kEveryMode || g.limit[kByte] > 0, kEveryMode || g.limit[kNumeric] > 0,
                                  kEveryMode || g.limit[kAlnum] > 0, kEveryMode || g.limit[kKanji] > 0};
    // A segment's header and its first character.
    const int32_t startCost[kModes] = {rules.modeBits + g.width[kByte] + 8, rules.modeBits + g.width[kNumeric] + 4,
                                       rules.modeBits + g.width[kAlnum] + 6, rules.modeBits + g.width[kKanji] + 13};
    plan_.resize(static_cast<size_t>(count) * kModes);
    PlanCell* plan = plan_.data();

    // The bits one more character adds to a segment of `run` characters.
    auto extend = [](int m, int32_t run) -> int32_t {
        switch (m) {
        case kByte: return 8;
        case kNumeric: return run % 3 == 0 ? 4 : 3;
        case kAlnum: return run % 2 == 0 ? 6 : 5;
        default: return 13;
        }
    };
    for (int32_t i = 0; i < count; ++i) {
        const int32_t cls = kClasses.cls[data[i]];
        const bool kanji = kWithKanji && i >= 1 && IsKanjiPair(data[i - 1], data[i]);
        const bool possible[kModes] = {allowed[kByte], cls == 1 && allowed[kNumeric], cls >= 1 && allowed[kAlnum],
                                       kanji && allowed[kKanji]};
        if constexpr (!kWithKanji) plan[i * kModes + kKanji] = {-1, kImpossible, 0};
        for (int m = 0; m < kSearched; ++m) {
            PlanCell& cell = plan[i * kModes + m];
            const int32_t from = (m == kKanji) ? i - 2 : i - 1;
            if (!possible[m]) {
                cell = {-1, kImpossible, 0};
                continue;
            }
            if (from < 0) {
                cell = {-1, startCost[m], 1};
                continue;
            }
            cell = {-1, kImpossible, 0};
            const PlanCell* prev = plan + from * kModes;
            for (int j = 0; j < kSearched; ++j) {
                const PlanCell& p = prev[j];
                if (p.cost == kImpossible) continue;
                const bool continues = j == m && p.run < g.limit[m];
                const int32_t cost = p.cost + (continues ? extend(m, p.run) : startCost[m]);
                if (cost < cell.cost) cell = {j, cost, continues ? p.run + 1 : 1};
            }
        }
    }
    const PlanCell* last = plan + (count - 1) * kModes;
    int32_t best = last[0].cost;
    for (int m = 1; m < kModes; ++m) best = std::min(best, last[m].cost);
    return best;
}

// Walks plan_ back from the last byte in lastMode and writes every byte's mode.
void Segmenter::TraceModes(int32_t count, int32_t lastMode, std::vector<uint8_t>& modes) const
{
    modes.assign(static_cast<size_t>(count), 0);
    int32_t m = lastMode;
    for (int32_t i = count - 1; i >= 0;) {
        modes[static_cast<size_t>(i)] = static_cast<uint8_t>(m);
        const int32_t previous = plan_[static_cast<size_t>(i * kModes + m)].previous;
        if (m == kKanji) {
            if (i >= 1) modes[static_cast<size_t>(i - 1)] = kKanji;
            i -= 2;
        } else {
            i -= 1;
        }
        m = previous < 0 ? 0 : previous;
    }
}

// One case a mode, each as the standard lays its segment out; kept together so the
// four read side by side.
int32_t Segmenter::Write(uint8_t* bits, const uint8_t* data, int32_t count, const SegmentRules& rules,
                         const std::vector<uint8_t>& modes, int32_t startBit)
{
    const Limits g(rules);
    QRBitWriter out(bits, startBit);
    int32_t s = 0;
    while (s < count) {
        const int m = modes[static_cast<size_t>(s)];
        const int32_t maxLen = (m == kKanji) ? 2 * g.limit[kKanji] : g.limit[m];
        const int32_t limit = std::min(count, s + maxLen);
        int32_t e = s + 1;
        // Eight modes a comparison through the long runs.
        const uint64_t eight = 0x0101010101010101ull * static_cast<uint64_t>(m);
        for (; e + 8 <= limit; e += 8) {
            uint64_t chunk;
            std::memcpy(&chunk, &modes[static_cast<size_t>(e)], 8);
            if (chunk != eight) break;
        }
        while (e < limit && modes[static_cast<size_t>(e)] == m) ++e;
        const int32_t len = e - s;
        const uint8_t* p = data + s;
        out.Put(rules.modeIndicator[static_cast<size_t>(m)], rules.modeBits);
        switch (m) {
        case kByte:
            out.Put(static_cast<uint32_t>(len), g.width[kByte]);
            out.PutBytes(p, len);
            break;
        case kNumeric: {
            out.Put(static_cast<uint32_t>(len), g.width[kNumeric]);
            int32_t i = 0;
            for (; i + 3 <= len; i += 3)
                out.Put(static_cast<uint32_t>((p[i] & 0x0F) * 100 + (p[i + 1] & 0x0F) * 10 + (p[i + 2] & 0x0F)), 10);
            if (len - i == 2) out.Put(static_cast<uint32_t>((p[i] & 0x0F) * 10 + (p[i + 1] & 0x0F)), 7);
            else if (len - i == 1) out.Put(p[i] & 0x0Fu, 4);
            break;
        }
        case kAlnum: {
            out.Put(static_cast<uint32_t>(len), g.width[kAlnum]);
            int32_t i = 0;
            for (; i + 2 <= len; i += 2)
                out.Put(static_cast<uint32_t>(45 * kClasses.alnum[p[i]] + kClasses.alnum[p[i + 1]]), 11);
            if (i < len) out.Put(kClasses.alnum[p[i]], 6);
            break;
        }
        default: {
            out.Put(static_cast<uint32_t>(len / 2), g.width[kKanji]);
            for (int32_t i = 0; i + 1 < len; i += 2) {
                const int32_t a = p[i];
                const int32_t b = p[i + 1];
                const int32_t code = (a <= 0x9F ? (a - 0x81) : (a - 0xC1)) * 0xC0 + (b - 0x40);
                out.Put(static_cast<uint32_t>(code), 13);
            }
            break;
        }
        }
        s = e;
    }
    out.Put(0, rules.terminatorBits);
    return out.Flush();
}

int32_t Segmenter::MinimumDataBits(const Census& census, const SegmentRules& rules)
{
    // Sixths of a bit per byte: Numeric 10/3, Alphanumeric 11/2, Byte 8, or 13/2
    // for a byte that may be half of a Kanji character.
    const int64_t sixths = int64_t{census.classes[0]} * (census.kanjiPair ? 39 : 48) + int64_t{census.classes[1]} * 20 +
                           int64_t{census.classes[2]} * 33;
    if (sixths == 0) return 0;
    // Characters that no mode of these rules carries (bytes in Micro QR's smallest versions) cannot fit at all.
    const auto allowed = [&rules](SegmentMode m) { return rules.countBits[static_cast<int>(m)] > 0; };
    const bool bytesStranded = census.classes[0] > 0 && !census.kanjiPair && !allowed(SegmentMode::Byte);
    const bool lettersStranded =
        census.classes[2] > 0 && !allowed(SegmentMode::Alphanumeric) && !allowed(SegmentMode::Byte);
    if (bytesStranded || lettersStranded) return kImpossible; // more than any symbol holds, and safe to add to
    int32_t shortestCount = 32;
    for (uint8_t bits : rules.countBits)
        if (bits > 0) shortestCount = std::min<int32_t>(shortestCount, bits);
    return rules.modeBits + shortestCount + static_cast<int32_t>(sixths / 6);
}
