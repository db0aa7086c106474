#pragma once
#include <cstdint>
#include <vector>

#include "QRBits.h"

// Penalty score (rules N1 to N4 of ISO/IEC 18004) of a symbol of n modules given
// as its rows and its columns; finder-like patterns count at any scale. Once the
// score reaches limit it may stop and return any value of at least limit.
int32_t PenaltyFromBits(const std::vector<QRBits>& rows, const std::vector<QRBits>& cols, int32_t n,
                        int32_t limit = INT32_MAX);

// columns[x] bit y = rows[y] bit x, for n up to 192.
void TransposeBits(const std::vector<QRBits>& rows, std::vector<QRBits>& columns, int32_t n);
