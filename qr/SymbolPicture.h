#pragma once
// Module matrices into pictures, the encoder's one step that needs Qt.
#include <QImage>
#include <cstdint>

struct QRSymbol;

// An 8-bit palette picture of a module buffer on white: (left + width + right) x
// (top + height + bottom) pixels, the buffer copied unscaled at (left, top).
// Palette: 0 white, 1 black, 2 grey, every other index black.
QImage MatrixToPicture(const uint8_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                       int32_t bottom);

// The symbol with its quiet zone (QR 4 modules, Micro QR and rMQR 2), one pixel
// per module: QR (n + 8) square.
QImage SymbolToPicture(const QRSymbol& symbol);
