// Optimal mode segmentation and the data bit stream.
#include <algorithm>
#include <cstring>

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

clsQRCode::Census clsQRCode::TakeCensus(const uint8_t* data, int32_t count) const
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

int32_t clsQRCode::Plan(const uint8_t* data, int32_t count, int32_t version, std::vector<uint8_t>* modes,
                        const Census& census) const
{
    const Group g = GroupFor(version);
    if (count <= 0) {
        if (modes) modes->clear();
        return 0;
    }

    // Inputs of a single class need no search: the search is known to end in one
    // mode (split only where the count field is full), so its cost is a formula.
    const bool allBytes = byteMode_ || (census.classes[0] == count && !census.kanjiPair);
    const bool allDigits = census.classes[1] == count;
    if (allBytes) {
        if (modes) modes->assign(static_cast<size_t>(count), kByte);
        const int32_t segments = (count + g.limit[kByte] - 1) / g.limit[kByte];
        return 8 * count + segments * (4 + g.width[kByte]);
    }
    if (allDigits && count <= g.limit[kNumeric]) {
        if (modes) modes->assign(static_cast<size_t>(count), kNumeric);
        const int32_t lastGroup[3] = {0, 4, 7}; // bits of a last group of 0, 1 or 2 digits
        return 4 + g.width[kNumeric] + 10 * (count / 3) + lastGroup[count % 3];
    }

    const int32_t total = PlanSearch(data, count, version);
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
int32_t clsQRCode::PlanSearch(const uint8_t* data, int32_t count, int32_t version) const
{
    const Group g = GroupFor(version);
    const int32_t startCost[kModes] = {4 + g.width[kByte] + 8, g.k + 16, g.k + 17, g.k + 23};
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
        const bool kanji = kanjiMode_ && i >= 1 && IsKanjiPair(data[i - 1], data[i]);
        const bool possible[kModes] = {true, cls == 1, cls >= 1, kanji};
        for (int m = 0; m < kModes; ++m) {
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
            cell = {-1, 0, 0};
            const PlanCell* prev = plan + from * kModes;
            for (int j = 0; j < kModes; ++j) {
                const PlanCell& p = prev[j];
                if (p.cost == kImpossible) continue;
                const bool continues = j == m && p.run < g.limit[m];
                const int32_t cost = p.cost + (continues ? extend(m, p.run) : startCost[m]);
                if (cell.previous < 0 || cost < cell.cost) cell = {j, cost, continues ? p.run + 1 : 1};
            }
        }
    }
    const PlanCell* last = plan + (count - 1) * kModes;
    int32_t best = last[0].cost;
    for (int m = 1; m < kModes; ++m) best = std::min(best, last[m].cost);
    return best;
}

// Walks plan_ back from the last byte in lastMode and writes every byte's mode.
void clsQRCode::TraceModes(int32_t count, int32_t lastMode, std::vector<uint8_t>& modes) const
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

std::vector<SegmentMode> clsQRCode::PlanSegments(std::span<const uint8_t> data, int32_t version) const
{
    std::vector<SegmentMode> result;
    if (data.empty() || data.size() > kMaxInputBytes) return result;
    std::vector<uint8_t> modes;
    const int32_t count = static_cast<int32_t>(data.size());
    Plan(data.data(), count, version, &modes, TakeCensus(data.data(), count));
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
    const Census census = TakeCensus(bytes, count);
    if (sizeOnly) return Plan(bytes, count, version, nullptr, census) + 4;
    std::vector<uint8_t> modes;
    Plan(bytes, count, version, &modes, census);
    return WriteSegments(bits, bytes, count, version, modes);
}

// One case a mode, each as the standard lays its segment out; kept together so the
// four read side by side.
int32_t clsQRCode::WriteSegments(uint8_t* bits, const uint8_t* data, int32_t count, int32_t version,
                                 const std::vector<uint8_t>& modes, int32_t startBit)
{
    const Group g = GroupFor(version);
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
        switch (m) {
        case kByte:
            out.Put(0x4, 4);
            out.Put(static_cast<uint32_t>(len), g.width[kByte]);
            out.PutBytes(p, len);
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

int32_t clsQRCode::MinimumDataBits(const Census& census, int32_t version)
{
    // Sixths of a bit per byte: Numeric 10/3, Alphanumeric 11/2, Byte 8, or 13/2
    // for a byte that may be half of a Kanji character.
    const int64_t sixths = int64_t{census.classes[0]} * (census.kanjiPair ? 39 : 48) + int64_t{census.classes[1]} * 20 +
                           int64_t{census.classes[2]} * 33;
    if (sixths == 0) return 0;
    return 4 + GroupFor(version).k + 6 + static_cast<int32_t>(sixths / 6);
}
