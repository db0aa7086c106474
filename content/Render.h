#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

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

// Paints the logo over the middle fifth of an existing picture.
void PaintLogo(QImage& picture, const QImage& logo);

inline constexpr int kExportSize = 667; // 10005 twips
inline constexpr int kPreviewWidth = 249, kPreviewHeight = 257;
