#include "Render.h"

#include <algorithm>
#include <cmath>
#include <span>

#include <QImageReader>
#include <QPainter>

#include "SymbolPicture.h"
#include "clsQRCode.h"

PayloadEncoder::PayloadEncoder() = default;
PayloadEncoder::~PayloadEncoder() = default;

QImage PayloadEncoder::Encode(const QString& payload)
{
    if (!encoder_) encoder_ = std::make_unique<clsQRCode>();
    const QByteArray utf8 = payload.toUtf8();
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(utf8.constData()),
                                         static_cast<size_t>(utf8.size()));
    const auto symbol = encoder_->EncodeSymbol(bytes, 0, EcQ, 0);
    return symbol ? SymbolToPicture(*symbol) : QImage();
}

namespace {

// The logo fills the middle fifth of area in each direction.
void PaintLogoOver(QImage& picture, const QImage& logo, const QRectF& area)
{
    if (logo.isNull() || picture.isNull()) return;
    QPainter p(&picture);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF middle(area.x() + area.width() / 2.5, area.y() + area.height() / 2.5, area.width() * 0.2,
                        area.height() * 0.2);
    p.drawImage(middle, logo);
}

QImage WhitePicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

} // namespace

void PaintLogo(QImage& picture, const QImage& logo) { PaintLogoOver(picture, logo, QRectF(picture.rect())); }

QImage ComposePicture(const QImage& symbol, const QImage& logo, QSize size)
{
    QImage picture = WhitePicture(size);
    if (!symbol.isNull()) {
        QPainter p(&picture);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRect(QPoint(0, 0), size), symbol);
    }
    PaintLogo(picture, logo);
    return picture;
}

QImage ComposeExport(const QImage& symbol, const QImage& logo, int side)
{
    QImage picture = WhitePicture(QSize(side, side));
    if (symbol.isNull()) return picture;
    // Fractional module widths leave some readers unable to find the grid.
    const int scale = std::max(1, side / std::max(symbol.width(), symbol.height()));
    const QSize drawn = symbol.size() * scale;
    const QRect area(QPoint((side - drawn.width()) / 2, (side - drawn.height()) / 2), drawn);
    {
        QPainter p(&picture);
        p.drawImage(area, symbol);
    }
    PaintLogoOver(picture, logo, QRectF(area));
    return picture;
}

Result<QImage, LogoError> LoadLogo(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid()) return Fail(LogoError::NotAPicture);
    if (qint64(stored.width()) * stored.height() > kLogoMaxPixels) return Fail(LogoError::TooLarge);
    // Nothing larger than the logo's place in the export is ever drawn; the place is
    // square, so each side is cut down on its own, as drawing would stretch it.
    const int most = static_cast<int>(std::ceil(kExportSize * 0.2));
    const QSize wanted(std::min(stored.width(), most), std::min(stored.height(), most));
    if (wanted != stored) reader.setScaledSize(wanted);
    // A format that cannot scale while decoding needs the whole picture first (up to
    // 8 bytes a pixel); the limit is Qt's only, the bound above is checked already.
    const int oldLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(static_cast<int>(kLogoMaxPixels * 8 / (1024 * 1024)) + 1);
    QImage logo = reader.read();
    QImageReader::setAllocationLimit(oldLimit);
    if (logo.isNull()) return Fail(LogoError::NotAPicture);
    return logo;
}
