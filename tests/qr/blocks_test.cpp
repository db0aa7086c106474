// The fast check-codeword path against clsReedSolomon's plain division, for every
// degree any QR-family symbol uses and block layouts that take each code path.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "QRBlocks.h"
#include "clsReedSolomon.h"

namespace {

// Data codewords of each block as the standard interleaves them: codeword t of
// every block in turn, then check codeword t of every block in turn.
std::vector<uint8_t> Interleave(const std::vector<std::vector<uint8_t>>& data,
                                const std::vector<std::vector<uint8_t>>& check)
{
    std::vector<uint8_t> out;
    size_t longest = 0;
    for (const auto& d : data) longest = std::max(longest, d.size());
    for (size_t t = 0; t < longest; ++t)
        for (const auto& d : data)
            if (t < d.size()) out.push_back(d[t]);
    for (size_t t = 0; t < check[0].size(); ++t)
        for (const auto& c : check) out.push_back(c[t]);
    return out;
}

std::vector<uint8_t> PlainCheck(const std::vector<uint8_t>& data, int e)
{
    auto field = std::make_shared<clsFiniteField>();
    field->Init(256, 285, 2);
    clsReedSolomon rs;
    EXPECT_TRUE(rs.Init(static_cast<int32_t>(data.size()), e, field, 2, 0));
    std::vector<int32_t> block(data.size() + static_cast<size_t>(e), 0);
    for (size_t t = 0; t < data.size(); ++t) block[block.size() - 1 - t] = data[t];
    rs.Encode(block.data());
    std::vector<uint8_t> check;
    for (int t = 0; t < e; ++t) check.push_back(static_cast<uint8_t>(block[static_cast<size_t>(e - 1 - t)]));
    return check;
}

TEST(Blocks, EveryDegreeAndLayoutMatchesPlainDivision)
{
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    // (blocks, data codewords): one block, a few short and long ones (one lane at a
    // time), and enough blocks for the side-by-side lanes, past 32 and past 64 of them.
    const std::pair<int, int> layouts[] = {{1, 3}, {1, 40}, {3, 20}, {5, 61}, {17, 150}, {40, 500}, {81, 1276}};
    int compared = 0;
    for (int e = 1; e <= BlockShape::kMaxCheckCodewords; ++e)
        for (auto [blocks, total] : layouts) {
            const BlockShape shape(total, blocks, e);
            if (!shape.Valid()) continue;
            std::vector<uint8_t> all;
            std::vector<std::vector<uint8_t>> data(static_cast<size_t>(blocks)), check;
            const int shortLength = total / blocks, longBlocks = total % blocks;
            for (int b = 0; b < blocks; ++b) {
                data[static_cast<size_t>(b)].resize(static_cast<size_t>(shortLength + (b >= blocks - longBlocks)));
                for (uint8_t& c : data[static_cast<size_t>(b)]) all.push_back(c = next());
                check.push_back(PlainCheck(data[static_cast<size_t>(b)], e));
            }
            std::vector<uint8_t> message(all.size() + static_cast<size_t>(blocks * e), 0xA5);
            ASSERT_TRUE(EncodeBlocks(all.data(), shape, message.data()));
            ASSERT_EQ(message, Interleave(data, check)) << "degree " << e << ", " << blocks << " blocks";
            ++compared;
        }
    EXPECT_GE(compared, 30 * 6);
}

TEST(Blocks, ShapesOutOfBoundsAreRefusedUntouched)
{
    const std::vector<uint8_t> data(3000, 7);
    const BlockShape refused[] = {
        {10, 0, 10},  // no block
        {10, 1, 0},   // no check codeword
        {10, 1, 31},  // a degree beyond any symbol's
        {200, 82, 2}, // more blocks than 40-H
        {2, 3, 10},   // fewer codewords than blocks
        {250, 1, 10}, // a block longer than 255 codewords
    };
    for (const BlockShape& shape : refused) {
        std::vector<uint8_t> message(4000, 0x5A);
        EXPECT_FALSE(EncodeBlocks(data.data(), shape, message.data())) << shape.blocks << " " << shape.checkPerBlock;
        EXPECT_EQ(message, std::vector<uint8_t>(4000, 0x5A));
    }
}

} // namespace
