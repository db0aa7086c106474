#pragma once
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>

#include "Result.h"

class clsQRCode;

// Encodes payloads with the window's settings: UTF-8 bytes, automatic version,
// level Q, mask 0, Kanji off. The encoder is made at the first use and kept.
class PayloadEncoder {
public:
    PayloadEncoder();
    ~PayloadEncoder();
    PayloadEncoder(const PayloadEncoder&) = delete;
    PayloadEncoder& operator=(const PayloadEncoder&) = delete;

    // The symbol picture of payload; a null image when it does not fit.
    QImage Encode(const QString& payload);

private:
    std::unique_ptr<clsQRCode> encoder_;
};

// The picture the preview shows: the symbol stretched over the whole area
// (nearest neighbour), the logo, when given, over the middle fifth.
QImage ComposePicture(const QImage& symbol, const QImage& logo, QSize size);

// The picture save and copy export, side x side on white: the symbol (one pixel a
// module, with its quiet zone) at the largest whole number of pixels a module that
// fits, centred; the logo over its middle fifth, where the preview puts it.
QImage ComposeExport(const QImage& symbol, const QImage& logo, int side);

// Paints the logo over the middle fifth of an existing picture.
void PaintLogo(QImage& picture, const QImage& logo);

inline constexpr int kExportSize = 667; // 10005 twips
inline constexpr int kPreviewWidth = 249, kPreviewHeight = 257;

// The largest picture taken as a logo.
inline constexpr qint64 kLogoMaxPixels = 100'000'000;

enum class LogoError { NotAPicture, TooLarge };

// Reads a logo file (JPEG turned as its EXIF orientation says, PNG, BMP, GIF: what
// Qt reads), each side cut down on reading to the most the export draws.
Result<QImage, LogoError> LoadLogo(const QString& path);
