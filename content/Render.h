#pragma once
#include <QImage>
#include <QSize>
#include <QString>

class clsQRCode;

// The symbol picture of a payload with the window's settings: UTF-8 bytes,
// automatic version, level Q, mask 0, Kanji off. A null image when it does not fit.
QImage EncodePayload(clsQRCode& encoder, const QString& payload);

// The picture the preview shows: the symbol stretched over the whole area
// (nearest neighbour), the logo, when given, over the middle fifth.
QImage ComposePicture(const QImage& symbol, const QImage& logo, QSize size);

// Paints the logo over the middle fifth of an existing picture.
void PaintLogo(QImage& picture, const QImage& logo);

inline constexpr int kExportSize = 667; // 10005 twips
inline constexpr int kPreviewWidth = 249, kPreviewHeight = 257;
