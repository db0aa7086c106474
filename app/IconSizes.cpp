// Build-time helper: turns a QR symbol picture made by qrgen (any module size,
// any quiet zone) into square icons of exact pixel sizes, with whole pixels per
// module so that the small sizes stay sharp.
// usage: vorlane-qr-iconsizes SYMBOL.png SIZE OUT.png [SIZE OUT.png ...]
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Symbol {
    int modules = 0;
    std::vector<bool> dark; // row-major
};

bool IsDark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

// Finds the symbol by its dark bounding box; the top-left finder's first row is
// seven modules wide, which gives the module size.
std::optional<Symbol> ReadSymbol(const QImage& image)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (IsDark(image, x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0 || right - left != bottom - top) return std::nullopt;
    int run = 0;
    while (left + run <= right && IsDark(image, left + run, top)) ++run;
    if (run % 7 != 0) return std::nullopt;
    const int unit = run / 7;
    const int width = right - left + 1;
    if (width % unit != 0) return std::nullopt;
    Symbol symbol;
    symbol.modules = width / unit;
    if (symbol.modules < 21 || symbol.modules > 177 || symbol.modules % 4 != 1) return std::nullopt;
    symbol.dark.resize(static_cast<size_t>(symbol.modules) * symbol.modules);
    for (int r = 0; r < symbol.modules; ++r)
        for (int c = 0; c < symbol.modules; ++c)
            symbol.dark[static_cast<size_t>(r) * symbol.modules + c] =
                IsDark(image, left + c * unit + unit / 2, top + r * unit + unit / 2);
    return symbol;
}

// The symbol at the largest whole scale that leaves at least a sixteenth of the
// icon as margin on each side, centred on white.
QImage Icon(const Symbol& symbol, int size)
{
    const int margin = (size + 15) / 16;
    const int scale = std::max(1, (size - 2 * margin) / symbol.modules);
    const int offset = (size - symbol.modules * scale) / 2;
    QImage icon(size, size, QImage::Format_RGB32);
    icon.fill(Qt::white);
    QPainter painter(&icon);
    for (int r = 0; r < symbol.modules; ++r)
        for (int c = 0; c < symbol.modules; ++c)
            if (symbol.dark[static_cast<size_t>(r) * symbol.modules + c])
                painter.fillRect(offset + c * scale, offset + r * scale, scale, scale, Qt::black);
    return icon;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: %s SYMBOL.png SIZE OUT.png [SIZE OUT.png ...]\n", argv[0]);
        return 2;
    }
    const QImage input(QString::fromLocal8Bit(argv[1]));
    if (input.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const auto symbol = ReadSymbol(input);
    if (!symbol) {
        std::fprintf(stderr, "%s: no QR symbol found in %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < symbol->modules || size > 4096) {
            std::fprintf(stderr, "%s: bad size %s\n", argv[0], argv[i]);
            return 2;
        }
        if (!Icon(*symbol, size).save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
