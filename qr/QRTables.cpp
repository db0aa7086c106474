// Version geometry, capacities, error-correction block structure, format words.
#include "QRTables.h"

namespace {

// ISO/IEC 18004 Table 9, by version (1..40) and level (L, M, Q, H).
constexpr uint8_t kEcBlocks[40][4] = {
    {1, 1, 1, 1},     {1, 1, 1, 1},     {1, 1, 2, 2},     {1, 2, 2, 4},     {1, 2, 4, 4},     {2, 4, 4, 4},
    {2, 4, 6, 5},     {2, 4, 6, 6},     {2, 5, 8, 8},     {4, 5, 8, 8},     {4, 5, 8, 11},    {4, 8, 10, 11},
    {4, 9, 12, 16},   {4, 9, 16, 16},   {6, 10, 12, 18},  {6, 10, 17, 16},  {6, 11, 16, 19},  {6, 13, 18, 21},
    {7, 14, 21, 25},  {8, 16, 20, 25},  {8, 17, 23, 25},  {9, 17, 23, 34},  {9, 18, 25, 30},  {10, 20, 27, 32},
    {12, 21, 29, 35}, {12, 23, 34, 37}, {12, 25, 34, 40}, {13, 26, 35, 42}, {14, 28, 38, 45}, {15, 29, 40, 48},
    {16, 31, 43, 51}, {17, 33, 45, 54}, {18, 35, 48, 57}, {19, 37, 51, 60}, {19, 38, 53, 63}, {20, 40, 56, 66},
    {21, 43, 59, 70}, {22, 45, 62, 74}, {24, 47, 65, 77}, {25, 49, 68, 81},
};

constexpr uint8_t kEcPerBlock[40][4] = {
    {7, 10, 13, 17},  {10, 16, 22, 28}, {15, 26, 18, 22}, {20, 18, 26, 16}, {26, 24, 18, 22}, {18, 16, 24, 28},
    {20, 18, 18, 26}, {24, 22, 22, 26}, {30, 22, 20, 24}, {18, 26, 24, 28}, {20, 30, 28, 24}, {24, 22, 26, 28},
    {26, 22, 24, 22}, {30, 24, 20, 24}, {22, 24, 30, 24}, {24, 28, 24, 30}, {28, 28, 28, 28}, {30, 26, 28, 28},
    {28, 26, 26, 26}, {28, 26, 30, 28}, {28, 26, 28, 30}, {28, 28, 30, 24}, {30, 28, 30, 30}, {30, 28, 30, 30},
    {26, 28, 30, 30}, {28, 28, 28, 30}, {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30},
    {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30},
    {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30}, {30, 28, 30, 30},
};

} // namespace

namespace qrtable {

int32_t AlignmentsPerSide(int32_t v) { return v <= 1 ? 1 : v / 7 + 2; }

int32_t AlignmentCount(int32_t v)
{
    const int32_t a = AlignmentsPerSide(v);
    return a > 1 ? a * a - 3 : 0;
}

int32_t RawDataModules(int32_t v)
{
    if (!ValidVersion(v)) return 0;
    const int32_t n = 4 * v + 17;
    const int32_t a = AlignmentsPerSide(v);
    int32_t r = n * (n - 2);
    if (a < 2) return r - 191;
    r += (10 - 25 * a) * a - 136;
    if (a > 2) r -= 36;
    return r;
}

int32_t TotalCodewords(int32_t v) { return RawDataModules(v) / 8; }

int32_t AlignmentStep(int32_t v)
{
    if (v <= 6) return 255;
    if (v <= 13) return 2 * v + 2;
    if (v <= 20) return ((2 * v + 4) / 3) * 2;
    if (v <= 27) return (v + 2) & 0xFE;
    if (v <= 34) return (v / 3) * 2 + 6;
    return (v / 3) * 2 + 2;
}

Centres AlignmentCentres(int32_t v)
{
    Centres centres;
    if (!ValidVersion(v) || v < 2) return centres;
    const int32_t n = SymbolSize(v), step = AlignmentStep(v);
    // 6, then evenly spaced back from the far side.
    int32_t far[6], count = 0;
    for (int32_t c = n - 7; c >= 18 && count < 6; c -= step) far[count++] = c;
    centres.at[0] = 6;
    for (int32_t i = 0; i < count; ++i) centres.at[static_cast<size_t>(i + 1)] = far[count - 1 - i];
    centres.count = count + 1;
    return centres;
}

int32_t EcBlockCount(int32_t v, EcLevel level) { return ValidVersion(v) ? kEcBlocks[v - 1][LevelIndex(level)] : 0; }

int32_t EcCodewordsPerBlock(int32_t v, EcLevel level)
{
    return ValidVersion(v) ? kEcPerBlock[v - 1][LevelIndex(level)] : 0;
}

int32_t DataCodewords(int32_t v, EcLevel level)
{
    return ValidVersion(v) ? TotalCodewords(v) - EcBlockCount(v, level) * EcCodewordsPerBlock(v, level) : 0;
}

int32_t BchRemainder(int32_t value, int32_t generator, int32_t topBit, int32_t steps)
{
    uint32_t v = static_cast<uint32_t>(value);
    for (int32_t i = 0; i < steps; ++i) {
        v <<= 1;
        if (v & static_cast<uint32_t>(topBit))
            v = (v ^ static_cast<uint32_t>(generator)) & static_cast<uint32_t>(topBit - 1);
    }
    return static_cast<int32_t>(v);
}

int32_t FormatBits(EcLevel level, int32_t pattern)
{
    // The format word numbers the levels M, L, H, Q.
    const int32_t d = (LevelIndex(level) ^ 1) * 8 + (pattern & 7);
    return ((d << 10) | BchRemainder(d, 0x537, 0x400, 10)) ^ 0x5412;
}

int32_t VersionBits(int32_t version) { return (version << 12) | BchRemainder(version, 0x1F25, 0x1000, 12); }

} // namespace qrtable
