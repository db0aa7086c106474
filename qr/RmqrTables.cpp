#include "RmqrTables.h"

#include <algorithm>

#include "QRTables.h"

namespace {

// ISO/IEC 23941, tables 3, 6 and 7. Where a level's data codewords do not divide evenly, the later blocks carry one
// more, as in QR Code: that follows from the totals, so only block counts and check codewords are stored.
constexpr std::array<RmqrSize, kRmqrSizes> kSizes{{
    {7, 43, 13, 0, {1, 1}, {7, 10}, {3, 4, 3, 2}},     {7, 59, 21, 3, {1, 1}, {9, 14}, {4, 5, 5, 3}},
    {7, 77, 32, 5, {1, 1}, {12, 22}, {5, 6, 5, 4}},    {7, 99, 44, 6, {1, 1}, {16, 30}, {5, 7, 6, 5}},
    {7, 139, 68, 1, {1, 2}, {24, 22}, {6, 7, 6, 5}},   {9, 43, 21, 2, {1, 1}, {9, 14}, {4, 5, 5, 3}},
    {9, 59, 33, 3, {1, 1}, {12, 22}, {5, 6, 5, 4}},    {9, 77, 49, 1, {1, 2}, {18, 16}, {5, 7, 6, 5}},
    {9, 99, 66, 4, {1, 2}, {24, 22}, {6, 7, 6, 5}},    {9, 139, 99, 5, {2, 3}, {18, 22}, {6, 8, 7, 6}},
    {11, 27, 15, 2, {1, 1}, {8, 10}, {3, 4, 4, 2}},    {11, 43, 31, 1, {1, 1}, {12, 20}, {5, 6, 5, 4}},
    {11, 59, 47, 0, {1, 2}, {16, 16}, {5, 7, 6, 5}},   {11, 77, 67, 2, {1, 2}, {24, 22}, {6, 7, 6, 5}},
    {11, 99, 89, 7, {2, 2}, {16, 30}, {6, 8, 7, 6}},   {11, 139, 132, 6, {2, 3}, {24, 30}, {7, 8, 7, 6}},
    {13, 27, 21, 4, {1, 1}, {9, 14}, {4, 5, 5, 3}},    {13, 43, 41, 1, {1, 1}, {14, 28}, {5, 6, 6, 5}},
    {13, 59, 60, 6, {1, 2}, {22, 20}, {6, 7, 6, 5}},   {13, 77, 85, 4, {2, 2}, {16, 28}, {6, 7, 7, 6}},
    {13, 99, 113, 3, {2, 3}, {20, 26}, {7, 8, 7, 6}},  {13, 139, 166, 0, {3, 4}, {20, 28}, {7, 8, 8, 7}},
    {15, 43, 51, 1, {1, 2}, {18, 18}, {6, 7, 6, 5}},   {15, 59, 74, 4, {1, 2}, {26, 24}, {6, 7, 7, 5}},
    {15, 77, 103, 6, {2, 3}, {18, 24}, {7, 8, 7, 6}},  {15, 99, 136, 7, {2, 4}, {24, 22}, {7, 8, 7, 6}},
    {15, 139, 199, 2, {3, 5}, {24, 26}, {7, 9, 8, 7}}, {17, 43, 61, 1, {1, 2}, {22, 20}, {6, 7, 6, 5}},
    {17, 59, 88, 2, {2, 2}, {16, 30}, {6, 8, 7, 6}},   {17, 77, 122, 0, {2, 3}, {22, 28}, {7, 8, 7, 6}},
    {17, 99, 160, 3, {3, 4}, {20, 26}, {7, 8, 8, 6}},  {17, 139, 232, 4, {4, 6}, {20, 26}, {8, 9, 8, 7}},
}};

constexpr uint8_t kColumns43[] = {21};
constexpr uint8_t kColumns59[] = {19, 39};
constexpr uint8_t kColumns77[] = {25, 51};
constexpr uint8_t kColumns99[] = {23, 49, 75};
constexpr uint8_t kColumns139[] = {27, 55, 83, 111};

constexpr uint32_t kFinderSideMask = 0x1FAB2;
constexpr uint32_t kSubFinderSideMask = 0x20A7B;

} // namespace

const RmqrSize& RmqrSizeAt(int32_t index) { return kSizes[static_cast<size_t>(index)]; }

int32_t RmqrDataCodewords(int32_t index, EcLevel level)
{
    const RmqrSize& s = RmqrSizeAt(index);
    const int32_t l = RmqrLevelIndex(level);
    return s.totalCodewords - s.blocks[l] * s.ecPerBlock[l];
}

std::span<const uint8_t> RmqrAlignmentColumns(int32_t width)
{
    switch (width) {
    case 43: return kColumns43;
    case 59: return kColumns59;
    case 77: return kColumns77;
    case 99: return kColumns99;
    case 139: return kColumns139;
    default: return {};
    }
}

std::optional<int32_t> RmqrSizeByName(std::string_view name)
{
    for (int32_t i = 0; i < kRmqrSizes; ++i)
        if (name == RmqrSizeName(i)) return i;
    return std::nullopt;
}

std::string RmqrSizeName(int32_t index)
{
    const RmqrSize& s = RmqrSizeAt(index);
    return "R" + std::to_string(s.height) + "x" + std::to_string(s.width);
}

const std::array<uint8_t, kRmqrSizes>& RmqrSizesBySmallestArea()
{
    static const std::array<uint8_t, kRmqrSizes> order = [] {
        std::array<uint8_t, kRmqrSizes> o{};
        for (int32_t i = 0; i < kRmqrSizes; ++i) o[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        std::stable_sort(o.begin(), o.end(), [](uint8_t a, uint8_t b) {
            const RmqrSize &x = kSizes[a], &y = kSizes[b];
            const int32_t areaX = x.height * x.width, areaY = y.height * y.width;
            return areaX != areaY ? areaX < areaY : x.height < y.height;
        });
        return o;
    }();
    return order;
}

uint32_t RmqrFormatBits(EcLevel level, int32_t index, bool finderSide)
{
    // The check bits are the BCH code of QR Code's version information, so its word serves as it is.
    const uint32_t word = static_cast<uint32_t>(qrtable::VersionBits((RmqrLevelIndex(level) << 5) | index));
    return word ^ (finderSide ? kFinderSideMask : kSubFinderSideMask);
}
