#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "clsReedSolomon.h"

namespace {

std::shared_ptr<clsFiniteField> QrField()
{
    auto f = std::make_shared<clsFiniteField>();
    f->Init(256, 285, 2);
    return f;
}

TEST(ReedSolomon, QrGeneratorPolynomials)
{
    clsReedSolomon rs;
    auto field = QrField();
    ASSERT_TRUE(rs.Init(16, 10, field, 0, 0));
    EXPECT_EQ(rs.GeneratorBase(), 2);
    const int g10[] = {193, 157, 113, 95, 94, 199, 111, 159, 194, 216, 1};
    for (int i = 0; i <= 10; ++i) EXPECT_EQ(rs.GeneratorCoefficient(i), g10[i]) << i;
    EXPECT_EQ(rs.GeneratorCoefficient(11), 0);

    ASSERT_TRUE(rs.Init(19, 7, nullptr, 0, 0));
    const int g7[] = {117, 68, 11, 164, 154, 122, 127, 1};
    const int logs[] = {21, 102, 238, 149, 146, 229, 87, 0};
    for (int i = 0; i <= 7; ++i) {
        EXPECT_EQ(rs.GeneratorCoefficient(i), g7[i]) << i;
        EXPECT_EQ(field->Log(g7[i]), logs[i]) << i;
    }
    // Every root alpha^0 .. alpha^(e-1) of g really is a root.
    for (int r = 0; r < 7; ++r) {
        int value = 0;
        for (int i = 7; i >= 0; --i)
            value = field->Add(field->Multiply(value, field->Exp(r)), rs.GeneratorCoefficient(i));
        EXPECT_EQ(value, 0) << r;
    }
}

TEST(ReedSolomon, IsoExampleCheckCodewords)
{
    clsReedSolomon rs;
    ASSERT_TRUE(rs.Init(16, 10, QrField(), 0, 0));
    const int data[] = {16, 32, 12, 86, 97, 128, 236, 17, 236, 17, 236, 17, 236, 17, 236, 17};
    std::vector<int32_t> block(26, 77); // check entries are overwritten whatever they hold
    for (int t = 0; t < 16; ++t) block[static_cast<size_t>(25 - t)] = data[t];
    rs.Encode(block.data());
    const int check[] = {165, 36, 212, 193, 237, 54, 199, 135, 44, 85};
    for (int t = 0; t < 10; ++t) EXPECT_EQ(block[static_cast<size_t>(9 - t)], check[t]) << t;
    for (int t = 0; t < 16; ++t) EXPECT_EQ(block[static_cast<size_t>(25 - t)], data[t]);
}

TEST(ReedSolomon, ShortBlockAndSingleCheckSymbol)
{
    auto field = QrField();
    const int data[] = {64, 54, 22, 38, 48, 236, 17, 236, 17};
    clsReedSolomon longer, shorter;
    ASSERT_TRUE(longer.Init(10, 8, field, 0, 0));
    ASSERT_TRUE(shorter.Init(9, 8, field, 0, 0));
    std::vector<int32_t> a(18, 0), b(17, 0);
    for (int t = 0; t < 9; ++t) {
        a[static_cast<size_t>(16 - t)] = data[t]; // top entry 17 stays 0
        b[static_cast<size_t>(16 - t)] = data[t];
    }
    longer.Encode(a.data());
    shorter.Encode(b.data());
    for (int j = 0; j < 8; ++j) EXPECT_EQ(a[static_cast<size_t>(j)], b[static_cast<size_t>(j)]);

    clsReedSolomon parity;
    ASSERT_TRUE(parity.Init(9, 1, field, 0, 0));
    std::vector<int32_t> c(10, 0);
    int x = 0;
    for (int t = 0; t < 9; ++t) {
        c[static_cast<size_t>(1 + t)] = data[t];
        x ^= data[t];
    }
    parity.Encode(c.data());
    EXPECT_EQ(c[0], x);
}

TEST(ReedSolomon, PrimeFieldCode)
{
    auto f7 = std::make_shared<clsFiniteField>();
    ASSERT_TRUE(f7->Init(7, 0, 0));
    clsReedSolomon rs;
    ASSERT_TRUE(rs.Init(3, 2, f7, 0, 1));
    EXPECT_EQ(rs.GeneratorCoefficient(0), 6);
    EXPECT_EQ(rs.GeneratorCoefficient(1), 2);
    EXPECT_EQ(rs.GeneratorCoefficient(2), 1);
    std::vector<int32_t> block = {0, 0, 1, 2, 3};
    rs.Encode(block.data());
    EXPECT_EQ(block[0], 2);
    EXPECT_EQ(block[1], 0);
    for (int root : {3, 2}) {
        int value = 0;
        for (int i = 4; i >= 0; --i) value = (value * root + block[static_cast<size_t>(i)]) % 7;
        EXPECT_EQ(value, 0) << root;
    }
}

TEST(ReedSolomon, InitRefusalsKeepThePreviousCode)
{
    clsReedSolomon fresh;
    EXPECT_FALSE(fresh.Init(5, 5, nullptr, 0, 0));
    std::vector<int32_t> untouched = {9, 9, 9, 1, 2};
    fresh.Encode(untouched.data());
    EXPECT_EQ(untouched, (std::vector<int32_t>{9, 9, 9, 1, 2}));

    clsReedSolomon rs;
    auto field = QrField();
    ASSERT_TRUE(rs.Init(16, 10, field, 0, 0));
    EXPECT_FALSE(rs.Init(0, 10, field, 0, 0));
    EXPECT_FALSE(rs.Init(16, 0, field, 0, 0));
    EXPECT_FALSE(rs.Init(1000, 25, field, 0, 0));
    EXPECT_FALSE(rs.Init(16, 10, field, 0, -1));
    EXPECT_EQ(rs.DataLength(), 16);
    EXPECT_EQ(rs.EcLength(), 10);
    EXPECT_EQ(rs.GeneratorCoefficient(0), 193);
    EXPECT_TRUE(rs.Init(1000, 24, nullptr, 0, 0)); // k + e = 1024, previous field reused

    // The remembered base wins over another field's primitive element.
    auto aes = std::make_shared<clsFiniteField>();
    ASSERT_TRUE(aes->Init(256, 0x11B, 0));
    ASSERT_TRUE(rs.Init(4, 2, aes, 0, 0));
    EXPECT_EQ(rs.GeneratorBase(), 2);
}

} // namespace
