#include "SymbolPicture.h"

#include <cstring>

#include "QRSymbol.h"

QImage MatrixToPicture(const uint8_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                       int32_t bottom)
{
    const int32_t w = left + width + right;
    const int32_t h = top + height + bottom;
    if (!pixels || width <= 0 || height <= 0 || left < 0 || top < 0 || right < 0 || bottom < 0) return {};
    QImage image(w, h, QImage::Format_Indexed8);
    if (image.isNull()) return {};
    QList<QRgb> palette(256, qRgb(0, 0, 0));
    palette[0] = qRgb(255, 255, 255);
    palette[2] = qRgb(128, 128, 128);
    image.setColorTable(palette);
    image.fill(0);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(image.scanLine(top + y) + left, pixels + static_cast<size_t>(y) * static_cast<size_t>(width),
                    static_cast<size_t>(width));
    return image;
}

QImage SymbolToPicture(const QRSymbol& symbol)
{
    // The buffer's spare columns and rows are light, so they serve as part of the quiet zone.
    const int32_t quiet = symbol.family == SymbolFamily::QR ? 4 : 2;
    if (quiet >= 3)
        return MatrixToPicture(symbol.modules.data(), symbol.stride, symbol.height + 3, quiet, quiet, quiet - 3,
                               quiet - 3);
    QImage image = MatrixToPicture(symbol.modules.data(), symbol.stride, symbol.height + 3, quiet, quiet, 0, 0);
    return image.isNull() ? image : image.copy(0, 0, symbol.width + 2 * quiet, symbol.height + 2 * quiet);
}
