#pragma once
// Decoding pictures with zbarimg, a reader nobody here wrote.
#include <QImage>
#include <QTemporaryDir>
#include <string>

#include "TestSupport.h"

namespace testsupport {

// The bytes zbarimg reads from a picture file (QR codes only).
inline std::string ZbarFile(const QString& path)
{
    std::string out =
        Shell("zbarimg --nodbus --raw -q -Sdisable -Sqrcode.enable -Sbinary '" + path.toStdString() + "' 2>/dev/null");
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// Scales small symbol pictures up so that the reader sees whole pixels per module.
inline std::string Zbar(const QImage& image)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.png");
    QImage picture = image;
    if (picture.width() < 400)
        picture =
            picture.scaled(picture.width() * 4, picture.height() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!picture.save(path)) return "<unsaved>";
    return ZbarFile(path);
}

} // namespace testsupport
