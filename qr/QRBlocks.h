#pragma once
// Reed-Solomon check codewords for the blocks of any QR-family symbol, by the fast
// path: generators come from clsReedSolomon over the shared GF(256), made once
// per degree as product tables.
#include <cstdint>

#include "Result.h"

// The blocks of a symbol: the first `shortBlocks` carry L - 1 data codewords,
// the others L (L = longLength), each followed by checkPerBlock check codewords.
struct BlockShape {
    static constexpr int32_t kMaxCheckCodewords = 30; // per block, in every family
    static constexpr int32_t kMaxBlocks = 81;         // QR 40-H

    int32_t dataCodewords, blocks, checkPerBlock, longLength, shortBlocks;

    BlockShape(int32_t dataCodewordCount, int32_t blockCount, int32_t checkCodewords)
        : dataCodewords(dataCodewordCount), blocks(blockCount), checkPerBlock(checkCodewords),
          longLength(blockCount > 0 ? (blockCount + dataCodewordCount - 1) / blockCount : 0),
          shortBlocks(
              blockCount <= 0 || dataCodewordCount % blockCount == 0 ? 0 : blockCount - dataCodewordCount % blockCount)
    {
    }
    bool Valid() const
    {
        return blocks >= 1 && blocks <= kMaxBlocks && checkPerBlock >= 1 && checkPerBlock <= kMaxCheckCodewords &&
               dataCodewords >= blocks && longLength + checkPerBlock <= 255;
    }
    int32_t DataLength(int32_t block) const { return block < shortBlocks ? longLength - 1 : longLength; }
    // Where data codeword t of a block goes in the interleaved message: column by
    // column over the blocks, the long blocks' last codewords at the end.
    int32_t DataPosition(int32_t block, int32_t t) const
    {
        return t < longLength - 1 ? block + t * blocks : (longLength - 1) * blocks + (block - shortBlocks);
    }
    int32_t CheckPosition(int32_t block, int32_t t) const { return dataCodewords + block + t * blocks; }
};

// Splits dataCodewords into the shape's blocks, interleaves them into message
// (dataCodewords + blocks * checkPerBlock bytes) and adds each block's check
// codewords after them. Nothing is written for a shape out of bounds.
Result<void> EncodeBlocks(const uint8_t* dataCodewords, const BlockShape& shape, uint8_t* message);
