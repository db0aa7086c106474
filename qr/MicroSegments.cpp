// Micro QR segmentation: the cheapest split into modes under a version's rules.
#include <algorithm>

#include "MicroParts.h"
#include "QRBitWriter.h"

namespace micro {

namespace {

constexpr int kModes = 4;
constexpr int kByte = 0, kNumeric = 1, kAlnum = 2, kKanji = 3;
constexpr int32_t kImpossible = 0x70000000;

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

// Bits of a whole segment of `characters` characters, header included.
int32_t SegmentBits(const SegmentRules& r, int m, int32_t characters)
{
    int32_t bits = r.modeBits + r.countBits[m];
    for (int32_t i = 0; i < characters; ++i) bits += Extend(m, i);
    return bits;
}

} // namespace

SegmentPlanner::SegmentPlanner(std::span<const uint8_t> data, bool kanji)
    : data_(data), count_(static_cast<int32_t>(data.size()))
{
    everywhere_ = 0x0F;
    for (int32_t i = 0; i < count_; ++i) {
        const int32_t cls = clsQRCode::CharacterClass(data[static_cast<size_t>(i)]);
        const bool pair = kanji && i >= 1 && clsQRCode::IsKanjiPair(data[static_cast<size_t>(i - 1)], data[i]);
        possible_[i] =
            static_cast<uint8_t>(1 << kByte | (cls == 1) << kNumeric | (cls >= 1) << kAlnum | pair << kKanji);
        everywhere_ &= possible_[i];
        anywhere_ |= possible_[i];
    }
    // Sixths of a bit a byte: numeric 10/3, alphanumeric 11/2, byte 8, half a Kanji character 13/2.
    int32_t sixths = 0;
    for (int32_t i = 0; i < count_; ++i) {
        const uint8_t p = possible_[i] | (i + 1 < count_ ? possible_[i + 1] & 1 << kKanji : 0);
        sixths += (p >> kNumeric) & 1 ? 20 : (p >> kAlnum) & 1 ? 33 : (p >> kKanji) & 1 ? 39 : 48;
    }
    leastBits_ = sixths / 6;
}

std::optional<int32_t> SegmentPlanner::Plan(const SegmentRules& rules, int32_t capacity)
{
    rules_ = rules;
    single_ = -1;
    if (count_ == 0) return 0;
    if (leastBits_ > capacity) return std::nullopt;
    // A byte no mode of this version carries.
    uint8_t modes = 0;
    for (int m = 0; m < kModes; ++m) modes |= static_cast<uint8_t>((rules.countBits[m] > 0) << m);
    for (int32_t i = 0; i < count_; ++i)
        if ((possible_[i] & modes) == 0 && !(i + 1 < count_ && (possible_[i + 1] & modes & 1 << kKanji)))
            return std::nullopt;
    // Digits only, or bytes no other mode takes: one segment, no search (Micro QR counts
    // never run out before the capacity does).
    const bool plainBytes = anywhere_ == 1 << kByte;
    for (int m : {kNumeric, kByte})
        if ((m == kNumeric ? (everywhere_ >> kNumeric) & 1 : plainBytes) && rules.countBits[m] > 0 &&
            count_ < (1 << rules.countBits[m])) {
            single_ = m;
            const int32_t bits = SegmentBits(rules, m, count_);
            return bits <= capacity ? std::optional<int32_t>(bits) : std::nullopt;
        }
    Search();
    const int32_t cost = cells_[count_ - 1][BestEnd()].cost;
    if (cost > capacity) return std::nullopt;
    return cost;
}

// For every byte and mode the cheapest stream up to it ending in that mode.
void SegmentPlanner::Search()
{
    const SegmentRules& r = rules_;
    int32_t start[kModes], limit[kModes];
    uint8_t modes = 0;
    for (int m = 0; m < kModes; ++m) {
        start[m] = r.modeBits + r.countBits[m] + Extend(m, 0);
        limit[m] = (1 << r.countBits[m]) - 1;
        modes |= static_cast<uint8_t>((r.countBits[m] > 0) << m);
    }
    for (int32_t i = 0; i < count_; ++i) {
        const uint8_t here = possible_[i] & modes;
        for (int m = 0; m < kModes; ++m) {
            Cell& cell = cells_[i][m];
            cell = {-1, kImpossible, 0};
            if (!((here >> m) & 1)) continue;
            const int32_t from = m == kKanji ? i - 2 : i - 1;
            if (from < 0) {
                cell = {-1, start[m], 1};
                continue;
            }
            for (int j = 0; j < kModes; ++j) {
                const Cell& p = cells_[from][j];
                const bool continues = j == m && p.run < limit[m];
                const int32_t cost = p.cost + (continues ? Extend(m, p.run) : start[m]);
                if (cost < cell.cost) cell = {j, cost, continues ? p.run + 1 : 1};
            }
        }
    }
}

int SegmentPlanner::BestEnd() const
{
    int best = 0;
    for (int m = 1; m < kModes; ++m)
        if (cells_[count_ - 1][m].cost < cells_[count_ - 1][best].cost) best = m;
    return best;
}

void SegmentPlanner::Write(uint8_t* out) const
{
    if (count_ == 0) return;
    // Walk back to the segment starts, then write them front to back.
    int32_t starts[kMaxInputBytes + 1];
    int modes[kMaxInputBytes + 1];
    int32_t segments = 0;
    if (single_ >= 0) {
        starts[segments] = 0;
        modes[segments++] = single_;
    } else {
        for (int32_t i = count_ - 1, m = BestEnd(); i >= 0;) {
            const int32_t width = m == kKanji ? 2 : 1;
            const int32_t first = i - cells_[i][m].run * width + 1;
            starts[segments] = first;
            modes[segments++] = m;
            i = first - 1;
            // The segment's first character holds the mode before it.
            m = cells_[first + width - 1][m].previous;
        }
    }
    const SegmentRules& r = rules_;
    QRBitWriter w(out);
    for (int32_t k = segments - 1; k >= 0; --k) {
        const int32_t s = starts[k];
        const int32_t len = (k > 0 ? starts[k - 1] : count_) - s;
        const uint8_t* p = data_.data() + s;
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
    w.Flush();
}

} // namespace micro
