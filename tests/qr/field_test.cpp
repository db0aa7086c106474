#include <gtest/gtest.h>

#include "clsFiniteField.h"

namespace {

clsFiniteField QrField()
{
    clsFiniteField f;
    EXPECT_TRUE(f.Init(256, 285, 2));
    return f;
}

TEST(FiniteField, QrFieldTablesAreTheStandardOnes)
{
    const clsFiniteField f = QrField();
    const int exp[] = {1, 2, 4, 8, 16, 32, 64, 128, 29, 58, 116, 232, 205, 135, 19, 38, 76};
    for (int i = 0; i < 17; ++i) EXPECT_EQ(f.ExpTable(i), exp[i]) << i;
    EXPECT_EQ(f.ExpTable(254), 142);
    EXPECT_EQ(f.ExpTable(255), 1);
    const int log[] = {0, 0, 1, 25, 2, 50, 26, 198, 3};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(f.LogTable(i), log[i]) << i;
    // Log and Exp are inverse bijections on the non-zero elements.
    for (int x = 1; x < 256; ++x) EXPECT_EQ(f.Exp(f.Log(x)), x);
}

TEST(FiniteField, QrFieldElementOperations)
{
    const clsFiniteField f = QrField();
    EXPECT_EQ(f.Multiply(128, 2), 29);
    EXPECT_EQ(f.Multiply(3, 7), 9);
    EXPECT_EQ(f.Multiply(83, 202), 143);
    EXPECT_EQ(f.Inverse(2), 142);
    EXPECT_EQ(f.Divide(1, 2), 142);
    EXPECT_EQ(f.Exp(-1), 142);
    EXPECT_EQ(f.Exp(255), 1);
    EXPECT_EQ(f.Exp(256), 2);
    EXPECT_EQ(f.Exp(-255), 1);
    EXPECT_EQ(f.Add(5, 3), 6);
    EXPECT_EQ(f.Subtract(5, 3), 6);
    EXPECT_EQ(f.Negate(7), 7);
    EXPECT_EQ(f.Divide(9, 0), 0);
    EXPECT_EQ(f.Inverse(0), 0);
    EXPECT_EQ(f.Log(0), 0);
    EXPECT_EQ(f.Log(1), 0);
    for (int a = 0; a < 256; ++a) {
        EXPECT_EQ(f.InverseDirect(a), 0);
        for (int b = 0; b < 256; ++b) {
            ASSERT_EQ(f.MultiplyDirect(a, b), f.Multiply(a, b)) << a << " " << b;
            ASSERT_EQ(f.DivideDirect(a, b), 0);
            if (a && b) {
                ASSERT_EQ(f.Multiply(f.Divide(a, b), b), a);
            }
        }
        if (a) {
            EXPECT_EQ(f.Multiply(a, f.Inverse(a)), 1);
        }
    }
}

TEST(FiniteField, FindsPrimitiveElements)
{
    clsFiniteField searched;
    ASSERT_TRUE(searched.Init(256, 285, 0));
    EXPECT_EQ(searched.Primitive(), 2);
    const clsFiniteField given = QrField();
    for (int i = 0; i < 256; ++i) EXPECT_EQ(searched.ExpTable(i), given.ExpTable(i));

    clsFiniteField aes;
    ASSERT_TRUE(aes.Init(256, 0x11B, 0));
    EXPECT_EQ(aes.Primitive(), 3);

    // The Aztec code fields GF(1024) and GF(4096).
    for (auto [size, poly] : {std::pair{1024, 0x409}, std::pair{4096, 0x1069}}) {
        clsFiniteField big;
        ASSERT_TRUE(big.Init(size, poly, 0));
        ASSERT_GT(big.Primitive(), 1);
        for (int x = 1; x < size; ++x) ASSERT_EQ(big.Exp(big.Log(x)), x) << size << " " << x;
    }
}

TEST(FiniteField, PrimeFields)
{
    clsFiniteField f;
    ASSERT_TRUE(f.Init(7, 0, 0));
    EXPECT_EQ(f.Primitive(), 3);
    EXPECT_EQ(f.Polynomial(), 7);
    const int exp[] = {1, 3, 2, 6, 4, 5, 1};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(f.ExpTable(i), exp[i]);
    const int log[] = {0, 0, 2, 1, 4, 5, 3};
    for (int i = 1; i < 7; ++i) EXPECT_EQ(f.LogTable(i), log[i]);
    EXPECT_EQ(f.Inverse(3), 5);
    EXPECT_EQ(f.InverseDirect(3), 5);
    EXPECT_EQ(f.Add(5, 4), 2);
    EXPECT_EQ(f.Negate(2), 5);
    EXPECT_EQ(f.Subtract(2, 5), 4);
    for (int a = 0; a < 7; ++a)
        for (int b = 0; b < 7; ++b) {
            EXPECT_EQ(f.Multiply(a, b), (a * b) % 7);
            EXPECT_EQ(f.MultiplyDirect(a, b), (a * b) % 7);
            EXPECT_EQ(f.Divide(a, b), f.DivideDirect(a, b));
        }

    clsFiniteField big;
    ASSERT_TRUE(big.Init(16381, 0, 0)); // the largest prime below 16384
    for (int a = 1; a < 16381; a += 97) EXPECT_EQ(big.Multiply(a, big.InverseDirect(a)), 1);
}

TEST(FiniteField, InitRefusalsChangeNothing)
{
    clsFiniteField f;
    ASSERT_TRUE(f.Init(2, 99, 99));
    EXPECT_EQ(f.Polynomial(), 2);
    EXPECT_EQ(f.Primitive(), 1);
    EXPECT_EQ(f.Multiply(1, 1), 1);

    f = QrField();
    EXPECT_FALSE(f.Init(1, 285, 2));
    EXPECT_FALSE(f.Init(16385, 285, 2));
    EXPECT_FALSE(f.Init(1024, 0, 0));
    EXPECT_EQ(f.Size(), 256);
    EXPECT_EQ(f.Polynomial(), 285);
    EXPECT_EQ(f.Multiply(128, 2), 29);
    EXPECT_TRUE(f.Init(16384, 0x402B, 2));
}

} // namespace
