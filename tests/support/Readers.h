#pragma once
// Decoding pictures with zbarimg, a reader nobody here wrote.
#include <QImage>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <sys/wait.h>
#include <string>

namespace testsupport {

// Standard output of a shell command; its exit status in *status when asked.
inline std::string Shell(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    std::array<char, 65536> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

// The bytes zbarimg reads from a picture file (QR codes only).
inline std::string ZbarFile(const QString& path)
{
    std::string out = Shell("zbarimg --nodbus --raw -q -Sdisable -Sqrcode.enable -Sbinary '" + path.toStdString() +
                            "' 2>/dev/null");
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
        picture = picture.scaled(picture.width() * 4, picture.height() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!picture.save(path)) return "<unsaved>";
    return ZbarFile(path);
}

} // namespace testsupport
