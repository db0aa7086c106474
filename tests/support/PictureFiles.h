#pragma once
// qrgen's outputs made readable for decoders nobody here wrote: pictures as
// they are, vector files rasterised, terminal drawings turned into pictures.
#include <QImage>
#include <QString>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "FileHelpers.h"
#include "Readers.h"

namespace testsupport {

// The bytes zxing-cpp's reader finds in a picture file.
inline std::string ZxingBytes(const std::filesystem::path& picture)
{
    return Shell("ZXingReader -bytes " + Quote(picture) + " 2>/dev/null");
}

// zxing-cpp's full report of a picture (version, level, ECI, text).
inline std::string ZxingReport(const std::filesystem::path& picture)
{
    return Shell("ZXingReader " + Quote(picture) + " 2>/dev/null");
}

// A terminal drawing as a picture, 4 pixels a module: `cells` gives each
// character's (top, bottom) darkness, or for ASCII one module a two-character cell.
inline QImage DrawingToImage(const std::vector<std::vector<std::pair<bool, bool>>>& rows, bool halfBlocks)
{
    const int width = static_cast<int>(rows.empty() ? 0 : rows[0].size());
    const int height = static_cast<int>(rows.size()) * (halfBlocks ? 2 : 1);
    QImage image(width * 4, height * 4, QImage::Format_Grayscale8);
    image.fill(255);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < static_cast<int>(rows[static_cast<size_t>(r)].size()) && c < width; ++c) {
            const auto [top, bottom] = rows[static_cast<size_t>(r)][static_cast<size_t>(c)];
            for (int half = 0; half < (halfBlocks ? 2 : 1); ++half)
                if (half == 0 ? top : bottom)
                    for (int y = 0; y < 4; ++y)
                        for (int x = 0; x < 4; ++x)
                            image.setPixel(c * 4 + x, ((halfBlocks ? 2 * r : r) + half) * 4 + y, qRgb(0, 0, 0));
        }
    return image;
}

// UTF8: light modules are drawn (ink on a dark terminal), dark ones are blank.
inline QImage FromUtf8Drawing(const std::string& text)
{
    std::vector<std::vector<std::pair<bool, bool>>> rows(1);
    const std::u32string cells = QString::fromStdString(text).toStdU32String();
    for (char32_t c : cells) {
        if (c == U'\n') {
            rows.emplace_back();
            continue;
        }
        const bool topLight = c == U'\u2580' || c == U'\u2588', bottomLight = c == U'\u2584' || c == U'\u2588';
        rows.back().emplace_back(!topLight, !bottomLight);
    }
    if (rows.back().empty()) rows.pop_back();
    return DrawingToImage(rows, true);
}

// ANSI: each upper half block in explicit colours, top = foreground, bottom = background.
inline QImage FromAnsiDrawing(const std::string& text)
{
    std::vector<std::vector<std::pair<bool, bool>>> rows(1);
    const std::regex cell("\x1b\\[(\\d+);(\\d+)m\u2580|\x1b\\[0m|\n");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), cell); it != std::sregex_iterator(); ++it) {
        if ((*it)[0] == "\n") rows.emplace_back();
        else if ((*it)[1].matched) rows.back().emplace_back((*it)[1] == "30", (*it)[2] == "40");
    }
    if (rows.back().empty()) rows.pop_back();
    return DrawingToImage(rows, true);
}

inline QImage FromAsciiDrawing(const std::string& text)
{
    std::vector<std::vector<std::pair<bool, bool>>> rows(1);
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\n') {
            rows.emplace_back();
            ++i;
            continue;
        }
        rows.back().emplace_back(text[i] == '#', false);
        i += 2;
    }
    if (rows.back().empty()) rows.pop_back();
    return DrawingToImage(rows, false);
}

// A picture file both decoders read, made from whatever qrgen wrote.
inline std::filesystem::path Readable(const std::filesystem::path& written, const std::string& type,
                                      const std::filesystem::path& dir)
{
    const std::filesystem::path png = dir / (type + "-readable.png");
    if (type == "svg") Shell("rsvg-convert -o " + Quote(png) + " " + Quote(written));
    else if (type == "eps")
        Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r144 -sDEVICE=pnggray -sOutputFile=" + Quote(png) + " " +
              Quote(written));
    else if (type == "pdf")
        Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -r144 -sDEVICE=pnggray -sOutputFile=" + Quote(png) + " " +
              Quote(written));
    else if (type == "bmp" || type == "xpm")
        QImage(QString::fromStdString(written.string())).save(QString::fromStdString(png.string()));
    else if (type == "utf8") FromUtf8Drawing(ReadFile(written)).save(QString::fromStdString(png.string()));
    else if (type == "ansi") FromAnsiDrawing(ReadFile(written)).save(QString::fromStdString(png.string()));
    else if (type == "ascii") FromAsciiDrawing(ReadFile(written)).save(QString::fromStdString(png.string()));
    else return written;
    return png;
}

} // namespace testsupport
