#pragma once
// The modules of an rMQR symbol: its function patterns and format information, the codewords placed in the
// zigzag shared by the QR family, and its one data mask.
#include <cstdint>

#include "FunctionPatterns.h"
#include "QRSymbol.h"

// Finder, sub-finder, corner finders, timing, alignment columns and both copies of the format word of a size
// (index 0 ... 31) and level (M or H); the format does not depend on the data, as rMQR has one mask.
FunctionMap RmqrFunctionMap(int32_t index, EcLevel level);

// Fills symbol's modules, width, height and stride from its codewords (interleaved data and check codewords, the
// size's total) and level.
void BuildRmqrModules(QRSymbol& symbol, int32_t index);

// rMQR's only mask is QR's pattern 4: (y / 2 + x / 3) mod 2 = 0.
inline constexpr int32_t kRmqrMaskPattern = 4;
