// Version geometry, capacities and error-correction block structure.
#include "clsQRCode.h"

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

int LevelIndex(int32_t level) { return (level >= 1 && level <= 4) ? level - 1 : 1; }
bool ValidVersion(int32_t v) { return v >= 1 && v <= 40; }

} // namespace

int32_t clsQRCode::SymbolSize(int32_t v) { return ValidVersion(v) ? 4 * v + 17 : 0; }

int32_t clsQRCode::AlignmentsPerSide(int32_t v) { return v <= 1 ? 1 : v / 7 + 2; }

int32_t clsQRCode::AlignmentCount(int32_t v)
{
    const int32_t a = AlignmentsPerSide(v);
    return a > 1 ? a * a - 3 : 0;
}

int32_t clsQRCode::RawDataModules(int32_t v)
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

int32_t clsQRCode::TotalCodewords(int32_t v) { return RawDataModules(v) / 8; }

int32_t clsQRCode::AlignmentStep(int32_t v)
{
    if (v <= 6) return 255;
    if (v <= 13) return 2 * v + 2;
    if (v <= 20) return ((2 * v + 4) / 3) * 2;
    if (v <= 27) return (v + 2) & 0xFE;
    if (v <= 34) return (v / 3) * 2 + 6;
    return (v / 3) * 2 + 2;
}

int32_t clsQRCode::EcBlockCount(int32_t v, int32_t level)
{
    return ValidVersion(v) ? kEcBlocks[v - 1][LevelIndex(level)] : 0;
}

int32_t clsQRCode::EcCodewordsPerBlock(int32_t v, int32_t level)
{
    return ValidVersion(v) ? kEcPerBlock[v - 1][LevelIndex(level)] : 0;
}

int32_t clsQRCode::DataCodewords(int32_t v, int32_t level)
{
    return ValidVersion(v) ? TotalCodewords(v) - EcBlockCount(v, level) * EcCodewordsPerBlock(v, level) : 0;
}

std::vector<int32_t> clsQRCode::AlignmentCentres(int32_t v)
{
    std::vector<int32_t> centres;
    if (!ValidVersion(v) || v < 2) return centres;
    const int32_t n = SymbolSize(v);
    const int32_t step = AlignmentStep(v);
    for (int32_t c = n - 7; c >= 18; c -= step) centres.insert(centres.begin(), c);
    centres.insert(centres.begin(), 6);
    return centres;
}
