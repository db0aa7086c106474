// Optimal mode segmentation and the data bit stream.
#include <algorithm>

#include "QRBitWriter.h"
#include "clsQRCode.h"

namespace {

constexpr int32_t kImpossible = 0x70000000;
constexpr int kModes = 4;
constexpr int kByte = 0, kNumeric = 1, kAlnum = 2, kKanji = 3;

struct Group {
    int32_t k;
    int32_t width[kModes];
    int32_t limit[kModes];
};

Group GroupFor(int32_t version)
{
    Group g{};
    g.k = version < 10 ? 2 : (version < 27 ? 4 : 6);
    g.width[kByte] = (g.k & 4) ? 16 : 8;
    g.width[kNumeric] = g.k + 8;
    g.width[kAlnum] = g.k + 7;
    g.width[kKanji] = g.k + 6;
    for (int m = 0; m < kModes; ++m) g.limit[m] = (1 << g.width[m]) - 1;
    return g;
}

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

int32_t clsQRCode::CharacterClass(uint8_t b) { return kClasses.cls[b]; }

int32_t clsQRCode::AlphanumericValue(uint8_t b) { return kClasses.alnum[b]; }

bool clsQRCode::IsKanjiPair(int32_t first, int32_t second)
{
    // Shift JIS double-byte codes that QR Kanji mode can carry (up to 0xEBBF).
    if (second < 0x40 || second > 0xFC || second == 0x7F) return false;
    if ((first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xEA)) return true;
    return first == 0xEB && second <= 0xBF;
}

int32_t clsQRCode::Plan(const uint8_t* data, int32_t count, int32_t version, std::vector<uint8_t>* modes) const
{
    const Group g = GroupFor(version);
    if (count <= 0) {
        if (modes) modes->clear();
        return 0;
    }

    // Inputs of a single class need no search: the search is known to end in one
    // mode (split only where the count field is full), so its cost is a formula.
    bool allBytes = true, allDigits = true;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t c = kClasses.cls[data[i]];
        allBytes &= c == 0;
        allDigits &= c == 1;
    }
    if (allBytes && kanjiMode_)
        for (int32_t i = 1; i < count && allBytes; ++i) allBytes = !IsKanjiPair(data[i - 1], data[i]);
    if (allBytes || (allDigits && count <= g.limit[kNumeric])) {
        if (modes) modes->assign(static_cast<size_t>(count), allBytes ? kByte : kNumeric);
        if (allBytes) {
            const int32_t segments = (count + g.limit[kByte] - 1) / g.limit[kByte];
            return 8 * count + segments * (4 + g.width[kByte]);
        }
        return 4 + g.width[kNumeric] + 10 * (count / 3) + (count % 3 == 2 ? 7 : count % 3 == 1 ? 4 : 0);
    }

    const int32_t startCost[kModes] = {4 + g.width[kByte] + 8, g.k + 16, g.k + 17, g.k + 23};
    plan_.resize(static_cast<size_t>(count) * kModes);
    PlanCell* plan = plan_.data();

    for (int32_t i = 0; i < count; ++i) {
        const uint8_t b = data[i];
        const int32_t cls = kClasses.cls[b];
        const bool kanji = kanjiMode_ && i >= 1 && IsKanjiPair(data[i - 1], b);
        const bool possible[kModes] = {true, cls == 1, cls >= 1, kanji};
        for (int m = 0; m < kModes; ++m) {
            PlanCell& cell = plan[i * kModes + m];
            if (!possible[m]) {
                cell = {-1, kImpossible, 0};
                continue;
            }
            const int32_t from = (m == kKanji) ? i - 2 : i - 1;
            if (from < 0) {
                cell = {-1, startCost[m], 1};
                continue;
            }
            int32_t bestCost = 0;
            int32_t bestPrev = -1;
            int32_t bestRun = 0;
            const PlanCell* prev = plan + from * kModes;
            for (int j = 0; j < kModes; ++j) {
                const PlanCell& p = prev[j];
                if (p.cost == kImpossible) continue;
                int32_t cost;
                int32_t run;
                if (j == m && p.run < g.limit[m]) {
                    run = p.run + 1;
                    switch (m) {
                    case kByte: cost = p.cost + 8; break;
                    case kNumeric: cost = p.cost + 3 + (p.run % 3 == 0 ? 1 : 0); break;
                    case kAlnum: cost = p.cost + 5 + (p.run % 2 == 0 ? 1 : 0); break;
                    default: cost = p.cost + 13; break;
                    }
                } else {
                    run = 1;
                    cost = p.cost + startCost[m];
                }
                if (bestPrev < 0 || cost < bestCost) {
                    bestCost = cost;
                    bestPrev = j;
                    bestRun = run;
                }
            }
            cell = {bestPrev, bestCost, bestRun};
        }
    }

    const PlanCell* last = plan + (count - 1) * kModes;
    int32_t bestMode = 0;
    for (int m = 1; m < kModes; ++m)
        if (last[m].cost < last[bestMode].cost) bestMode = m;
    const int32_t total = last[bestMode].cost;

    if (modes) {
        modes->assign(static_cast<size_t>(count), 0);
        int32_t m = bestMode;
        for (int32_t i = count - 1; i >= 0;) {
            (*modes)[static_cast<size_t>(i)] = static_cast<uint8_t>(m);
            const int32_t previous = plan[i * kModes + m].previous;
            if (m == kKanji) {
                if (i >= 1) (*modes)[static_cast<size_t>(i - 1)] = kKanji;
                i -= 2;
            } else {
                i -= 1;
            }
            m = previous < 0 ? 0 : previous;
        }
    }
    return total;
}

std::vector<SegmentMode> clsQRCode::PlanSegments(std::span<const uint8_t> data, int32_t version) const
{
    std::vector<SegmentMode> result;
    if (data.empty() || data.size() > kMaxInputBytes) return result;
    std::vector<uint8_t> modes;
    Plan(data.data(), static_cast<int32_t>(data.size()), version, &modes);
    result.reserve(modes.size());
    for (uint8_t m : modes) result.push_back(static_cast<SegmentMode>(m));
    return result;
}

int32_t clsQRCode::BuildBitStream(uint8_t* bits, std::span<const uint8_t> data, int32_t version, bool sizeOnly) const
{
    if (data.size() > kMaxInputBytes) return -1;
    const uint8_t* bytes = data.data();
    const int32_t count = static_cast<int32_t>(data.size());
    if (count == 0) {
        if (bits) bits[0] &= 0x0F;
        return 4;
    }
    if (sizeOnly) return Plan(bytes, count, version, nullptr) + 4;
    std::vector<uint8_t> modes;
    Plan(bytes, count, version, &modes);
    return WriteSegments(bits, bytes, count, version, modes);
}

int32_t clsQRCode::WriteSegments(uint8_t* bits, const uint8_t* data, int32_t count, int32_t version,
                                 const std::vector<uint8_t>& modes, int32_t startBit)
{
    const Group g = GroupFor(version);
    QRBitWriter out(bits, startBit);
    int32_t s = 0;
    while (s < count) {
        const int m = modes[static_cast<size_t>(s)];
        const int32_t maxLen = (m == kKanji) ? 2 * g.limit[kKanji] : g.limit[m];
        int32_t e = s + 1;
        while (e < count && e - s < maxLen && modes[static_cast<size_t>(e)] == m) ++e;
        const int32_t len = e - s;
        const uint8_t* p = data + s;
        switch (m) {
        case kByte:
            out.Put(0x4, 4);
            out.Put(static_cast<uint32_t>(len), g.width[kByte]);
            for (int32_t i = 0; i < len; ++i) out.Put(p[i], 8);
            break;
        case kNumeric: {
            out.Put(0x1, 4);
            out.Put(static_cast<uint32_t>(len), g.width[kNumeric]);
            int32_t i = 0;
            for (; i + 3 <= len; i += 3)
                out.Put(static_cast<uint32_t>((p[i] & 0x0F) * 100 + (p[i + 1] & 0x0F) * 10 + (p[i + 2] & 0x0F)), 10);
            if (len - i == 2) out.Put(static_cast<uint32_t>((p[i] & 0x0F) * 10 + (p[i + 1] & 0x0F)), 7);
            else if (len - i == 1) out.Put(p[i] & 0x0Fu, 4);
            break;
        }
        case kAlnum: {
            out.Put(0x2, 4);
            out.Put(static_cast<uint32_t>(len), g.width[kAlnum]);
            int32_t i = 0;
            for (; i + 2 <= len; i += 2)
                out.Put(static_cast<uint32_t>(45 * kClasses.alnum[p[i]] + kClasses.alnum[p[i + 1]]), 11);
            if (i < len) out.Put(kClasses.alnum[p[i]], 6);
            break;
        }
        default: {
            out.Put(0x8, 4);
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
    out.Put(0, 4);
    return out.Flush();
}

int32_t clsQRCode::MinimumDataBits(const uint8_t* data, int32_t count, int32_t version) const
{
    if (count <= 0) return 0;
    // Sixths of a bit per byte: Numeric 10/3, Alphanumeric 11/2, Byte 8, or 13/2
    // for a byte that may be half of a Kanji character.
    int32_t classes[3] = {0, 0, 0};
    for (int32_t i = 0; i < count; ++i) ++classes[kClasses.cls[data[i]]];
    bool kanji = false;
    for (int32_t i = 1; kanjiMode_ && i < count && !kanji; ++i) kanji = IsKanjiPair(data[i - 1], data[i]);
    const int64_t sixths = int64_t{classes[0]} * (kanji ? 39 : 48) + int64_t{classes[1]} * 20 + int64_t{classes[2]} * 33;
    return 4 + GroupFor(version).k + 6 + static_cast<int32_t>(sixths / 6);
}
