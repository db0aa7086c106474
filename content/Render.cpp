#include "Render.h"

#include <span>

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

void PaintLogo(QImage& picture, const QImage& logo)
{
    if (logo.isNull() || picture.isNull()) return;
    const double w = picture.width(), h = picture.height();
    QPainter p(&picture);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRectF(w / 2.5, h / 2.5, w * 0.2, h * 0.2), logo);
}

QImage ComposePicture(const QImage& symbol, const QImage& logo, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (!symbol.isNull()) {
        QPainter p(&picture);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRect(QPoint(0, 0), size), symbol);
    }
    PaintLogo(picture, logo);
    return picture;
}
