#pragma once
// Bit rows of modules into a symbol's byte-per-module buffer, for every family.
#include <cstdint>
#include <vector>

#include "QRBits.h"
#include "QRSymbol.h"

// Writes rows.size() rows of width modules into modules (stride width + 3); the
// stores may run up to 31 bytes past the last row.
void WriteModuleRows(const std::vector<QRBits>& rows, int32_t width, uint8_t* modules);
// Sizes modules to (width + 3) x (height + 3), spare rows and columns 0, and writes the rows.
void StoreModules(const std::vector<QRBits>& rows, int32_t width, int32_t height, ModuleBuffer& modules);
