#include <gtest/gtest.h>

#include "clsQRCode.h"

namespace {

TEST(Tables, SizesAndModuleCounts)
{
    EXPECT_EQ(clsQRCode::SymbolSize(0), 0);
    EXPECT_EQ(clsQRCode::SymbolSize(41), 0);
    EXPECT_EQ(clsQRCode::SymbolSize(1), 21);
    EXPECT_EQ(clsQRCode::SymbolSize(40), 177);
    EXPECT_EQ(clsQRCode::RawDataModules(1), 208);
    EXPECT_EQ(clsQRCode::RawDataModules(2), 359);
    EXPECT_EQ(clsQRCode::RawDataModules(7), 1568);
    EXPECT_EQ(clsQRCode::RawDataModules(40), 29648);
    EXPECT_EQ(clsQRCode::RawDataModules(0), 0);
    EXPECT_EQ(clsQRCode::TotalCodewords(1), 26);
    EXPECT_EQ(clsQRCode::TotalCodewords(2), 44);
    EXPECT_EQ(clsQRCode::TotalCodewords(7), 196);
    EXPECT_EQ(clsQRCode::TotalCodewords(14), 581);
    EXPECT_EQ(clsQRCode::TotalCodewords(40), 3706);
    EXPECT_EQ(clsQRCode::TotalCodewords(41), 0);
    // Remainder bits per the standard.
    for (int v = 1; v <= 40; ++v) {
        const int remainder = clsQRCode::RawDataModules(v) % 8;
        const int expected = (v >= 2 && v <= 6)                             ? 7
                             : (v >= 14 && v <= 20) || (v >= 28 && v <= 34) ? 3
                             : (v >= 21 && v <= 27)                         ? 4
                                                                            : 0;
        EXPECT_EQ(remainder, expected) << v;
    }
}

TEST(Tables, AlignmentPatterns)
{
    EXPECT_EQ(clsQRCode::AlignmentsPerSide(1), 1);
    EXPECT_EQ(clsQRCode::AlignmentsPerSide(2), 2);
    EXPECT_EQ(clsQRCode::AlignmentsPerSide(6), 2);
    EXPECT_EQ(clsQRCode::AlignmentsPerSide(7), 3);
    EXPECT_EQ(clsQRCode::AlignmentsPerSide(40), 7);
    EXPECT_EQ(clsQRCode::AlignmentCount(1), 0);
    EXPECT_EQ(clsQRCode::AlignmentCount(2), 1);
    EXPECT_EQ(clsQRCode::AlignmentCount(7), 6);
    EXPECT_EQ(clsQRCode::AlignmentCount(40), 46);
    const int steps[40] = {255, 255, 255, 255, 255, 255, 16, 18, 20, 22, 24, 26, 28, 20, 22, 24, 24, 26, 28, 28,
                           22,  24,  24,  26,  26,  28,  28, 24, 24, 26, 26, 26, 28, 28, 24, 26, 26, 26, 28, 28};
    for (int v = 1; v <= 40; ++v) EXPECT_EQ(clsQRCode::AlignmentStep(v), steps[v - 1]) << v;
    using V = std::vector<int32_t>;
    EXPECT_EQ(clsQRCode::AlignmentCentres(1), V{});
    EXPECT_EQ(clsQRCode::AlignmentCentres(2), (V{6, 18}));
    EXPECT_EQ(clsQRCode::AlignmentCentres(6), (V{6, 34}));
    EXPECT_EQ(clsQRCode::AlignmentCentres(7), (V{6, 22, 38}));
    EXPECT_EQ(clsQRCode::AlignmentCentres(14), (V{6, 26, 46, 66}));
    EXPECT_EQ(clsQRCode::AlignmentCentres(32), (V{6, 34, 60, 86, 112, 138}));
    EXPECT_EQ(clsQRCode::AlignmentCentres(40), (V{6, 30, 58, 86, 114, 142, 170}));
    for (int v = 2; v <= 40; ++v)
        EXPECT_EQ(static_cast<int>(clsQRCode::AlignmentCentres(v).size()), clsQRCode::AlignmentsPerSide(v)) << v;
}

TEST(Tables, BlockStructure)
{
    struct Row {
        int v;
        int blocks[4];
        int ec[4];
    };
    const Row rows[] = {{1, {1, 1, 1, 1}, {7, 10, 13, 17}},      {2, {1, 1, 1, 1}, {10, 16, 22, 28}},
                        {5, {1, 2, 4, 4}, {26, 24, 18, 22}},     {7, {2, 4, 6, 5}, {20, 18, 18, 26}},
                        {15, {6, 10, 12, 18}, {22, 24, 30, 24}}, {32, {17, 33, 45, 54}, {30, 28, 30, 30}},
                        {40, {25, 49, 68, 81}, {30, 28, 30, 30}}};
    for (const Row& r : rows)
        for (int l = 1; l <= 4; ++l) {
            EXPECT_EQ(clsQRCode::EcBlockCount(r.v, l), r.blocks[l - 1]) << r.v << " " << l;
            EXPECT_EQ(clsQRCode::EcCodewordsPerBlock(r.v, l), r.ec[l - 1]) << r.v << " " << l;
        }
    EXPECT_EQ(clsQRCode::EcBlockCount(5, 0), clsQRCode::EcBlockCount(5, EcM));
    EXPECT_EQ(clsQRCode::DataCodewords(1, EcL), 19);
    EXPECT_EQ(clsQRCode::DataCodewords(1, EcM), 16);
    EXPECT_EQ(clsQRCode::DataCodewords(1, EcQ), 13);
    EXPECT_EQ(clsQRCode::DataCodewords(1, EcH), 9);
    EXPECT_EQ(clsQRCode::DataCodewords(5, EcQ), 62);
    EXPECT_EQ(clsQRCode::DataCodewords(40, EcL), 2956);
    EXPECT_EQ(clsQRCode::DataCodewords(40, EcM), 2334);
    EXPECT_EQ(clsQRCode::DataCodewords(40, EcQ), 1666);
    EXPECT_EQ(clsQRCode::DataCodewords(40, EcH), 1276);
    // Blocks never exceed the 256-entry block buffer and each has at least 2 data codewords.
    for (int v = 1; v <= 40; ++v)
        for (int l = 1; l <= 4; ++l) {
            const int nb = clsQRCode::EcBlockCount(v, l);
            const int longest = (clsQRCode::DataCodewords(v, l) + nb - 1) / nb;
            EXPECT_LE(longest + clsQRCode::EcCodewordsPerBlock(v, l), 256);
        }
}

TEST(Tables, FormatAndVersionWords)
{
    EXPECT_EQ(clsQRCode::FormatBits(EcL, 0), 0b111011111000100);
    EXPECT_EQ(clsQRCode::FormatBits(EcM, 0), 0b101010000010010);
    EXPECT_EQ(clsQRCode::FormatBits(EcQ, 0), 0b011010101011111);
    EXPECT_EQ(clsQRCode::FormatBits(EcH, 7), 0b000100000111011);
    EXPECT_EQ(clsQRCode::FormatBits(EcQ, 3), 0b011101000000110);
    EXPECT_EQ(clsQRCode::FormatBits(EcM, 0), 0x5412);
    EXPECT_EQ(clsQRCode::BchRemainder(0, 0x537, 0x400, 10), 0);
    EXPECT_EQ(clsQRCode::BchRemainder(77, 0x537, 0x400, 0), 77);
    EXPECT_EQ(clsQRCode::VersionBits(7), 0b000111110010010100);
    EXPECT_EQ(clsQRCode::VersionBits(8), 0b001000010110111100);
    EXPECT_EQ(clsQRCode::VersionBits(40), 0b101000110001101001);
}

} // namespace
