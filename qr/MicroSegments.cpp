// Micro QR segmentation: the cheapest split into modes under a version's rules.
#include <algorithm>

#include "MicroParts.h"
#include "QRBitWriter.h"

namespace micro {

namespace {

constexpr int kModes = 4;
constexpr int kByte = 0, kNumeric = 1, kAlnum = 2, kKanji = 3;
constexpr int32_t kImpossible = 0x70000000;

struct Cell {
    int32_t previous; // mode of the byte before the segment's character, -1 at the start
    int32_t cost;
    int32_t run; // characters in the segment so far
};

// The bits one more character adds to a segment of `run` characters.
int32_t Extend(int m, int32_t run)
{
    switch (m) {
    case kByte: return 8;
    case kNumeric: return run % 3 == 0 ? 4 : 3;
    case kAlnum: return run % 2 == 0 ? 6 : 5;
    default: return 13;
    }
}

struct Plan {
    Cell cells[kMaxInputBytes][kModes];
    int32_t count = 0;
};

// For every byte and mode the cheapest stream up to it ending in that mode.
void Search(Plan& plan, std::span<const uint8_t> data, const SegmentRules& r, bool kanji)
{
    plan.count = static_cast<int32_t>(data.size());
    for (int32_t i = 0; i < plan.count; ++i) {
        const int32_t cls = clsQRCode::CharacterClass(data[static_cast<size_t>(i)]);
        const bool pair = kanji && i >= 1 && clsQRCode::IsKanjiPair(data[static_cast<size_t>(i - 1)], data[i]);
        const bool possible[kModes] = {true, cls == 1, cls >= 1, pair};
        for (int m = 0; m < kModes; ++m) {
            Cell& cell = plan.cells[i][m];
            const int32_t from = m == kKanji ? i - 2 : i - 1;
            const int32_t start = r.modeBits + r.countBits[m] + Extend(m, 0);
            const int32_t limit = (1 << r.countBits[m]) - 1;
            cell = {-1, kImpossible, 0};
            if (!possible[m] || r.countBits[m] == 0) continue;
            if (from < 0) {
                cell = {-1, start, 1};
                continue;
            }
            for (int j = 0; j < kModes; ++j) {
                const Cell& p = plan.cells[from][j];
                if (p.cost == kImpossible) continue;
                const bool continues = j == m && p.run < limit;
                const int32_t cost = p.cost + (continues ? Extend(m, p.run) : start);
                if (cost < cell.cost) cell = {j, cost, continues ? p.run + 1 : 1};
            }
        }
    }
}

int BestEnd(const Plan& plan)
{
    int best = 0;
    for (int m = 1; m < kModes; ++m)
        if (plan.cells[plan.count - 1][m].cost < plan.cells[plan.count - 1][best].cost) best = m;
    return best;
}

} // namespace

std::optional<int32_t> MeasureStream(std::span<const uint8_t> data, const SegmentRules& rules, bool kanji)
{
    if (data.empty()) return 0;
    Plan plan;
    Search(plan, data, rules, kanji);
    const int32_t cost = plan.cells[plan.count - 1][BestEnd(plan)].cost;
    if (cost >= kImpossible) return std::nullopt;
    return cost;
}

int32_t WriteStream(uint8_t* out, std::span<const uint8_t> data, const SegmentRules& r, bool kanji)
{
    if (data.empty()) return 0;
    Plan plan;
    Search(plan, data, r, kanji);
    // Walk back to the segment starts, then write them front to back.
    int32_t starts[kMaxInputBytes + 1];
    int modes[kMaxInputBytes + 1];
    int32_t segments = 0;
    int m = BestEnd(plan);
    for (int32_t i = plan.count - 1; i >= 0;) {
        const Cell& cell = plan.cells[i][m];
        const int32_t width = m == kKanji ? 2 : 1;
        const int32_t first = i - (cell.run - 1) * width - (width - 1);
        starts[segments] = first;
        modes[segments++] = m;
        i = first - 1;
        // The segment's first character holds the mode before it.
        m = plan.cells[first + width - 1][m].previous;
    }
    QRBitWriter w(out);
    for (int32_t k = segments - 1; k >= 0; --k) {
        const int32_t s = starts[k];
        const int32_t e = k > 0 ? starts[k - 1] : plan.count;
        const uint8_t* p = data.data() + s;
        const int32_t len = e - s;
        const int mode = modes[k];
        if (r.modeBits) w.Put(static_cast<uint32_t>(r.modeValue[mode]), r.modeBits);
        w.Put(static_cast<uint32_t>(mode == kKanji ? len / 2 : len), r.countBits[mode]);
        if (mode == kByte) {
            w.PutBytes(p, len);
        } else if (mode == kNumeric) {
            int32_t i = 0;
            for (; i + 3 <= len; i += 3)
                w.Put(static_cast<uint32_t>((p[i] & 0x0F) * 100 + (p[i + 1] & 0x0F) * 10 + (p[i + 2] & 0x0F)), 10);
            if (len - i == 2) w.Put(static_cast<uint32_t>((p[i] & 0x0F) * 10 + (p[i + 1] & 0x0F)), 7);
            else if (len - i == 1) w.Put(p[i] & 0x0Fu, 4);
        } else if (mode == kAlnum) {
            int32_t i = 0;
            for (; i + 2 <= len; i += 2)
                w.Put(static_cast<uint32_t>(45 * clsQRCode::AlphanumericValue(p[i]) +
                                            clsQRCode::AlphanumericValue(p[i + 1])),
                      11);
            if (i < len) w.Put(static_cast<uint32_t>(clsQRCode::AlphanumericValue(p[i])), 6);
        } else {
            for (int32_t i = 0; i + 1 < len; i += 2) {
                const int32_t a = p[i], b = p[i + 1];
                w.Put(static_cast<uint32_t>((a <= 0x9F ? a - 0x81 : a - 0xC1) * 0xC0 + (b - 0x40)), 13);
            }
        }
    }
    return w.Flush();
}

} // namespace micro
