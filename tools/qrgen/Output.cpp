#include "Output.h"

#include "AsciiCase.h"
#include "MicroQR.h"
#include "OutputParts.h"
#include "RmqrTables.h"
#include "TextHelpers.h"

namespace {

struct FormatName {
    const char* name;
    Format format;
    const char* extension;
};
constexpr FormatName kFormats[] = {
    {"png", Format::Png, ".png"},
    {"png32", Format::Png32, ".png"},
    {"bmp", Format::Bmp, ".bmp"},
    {"xpm", Format::Xpm, ".xpm"},
    {"svg", Format::Svg, ".svg"},
    {"eps", Format::Eps, ".eps"},
    {"pdf", Format::Pdf, ".pdf"},
    {"utf8", Format::Utf8, ".txt"},
    {"utf8i", Format::Utf8Inverted, ".txt"},
    {"ansi", Format::Ansi, ".txt"},
    {"ansi256", Format::Ansi256, ".txt"},
    {"ansiutf8", Format::AnsiUtf8, ".txt"},
    {"ansiutf8i", Format::AnsiUtf8Inverted, ".txt"},
    {"ansi256utf8", Format::Ansi256Utf8, ".txt"},
    {"ascii", Format::Ascii, ".txt"},
    {"asciii", Format::AsciiInverted, ".txt"},
    {"txt", Format::Txt, ".txt"},
    {"codewords", Format::Codewords, ".txt"},
};

} // namespace

std::optional<Format> ParseFormat(std::string_view name)
{
    const std::string lower = AsciiLower(std::string(name));
    for (const FormatName& f : kFormats)
        if (lower == f.name) return f.format;
    return std::nullopt;
}

const char* Extension(Format format)
{
    for (const FormatName& f : kFormats)
        if (f.format == format) return f.extension;
    return "";
}

std::optional<Colour> ParseColour(std::string_view hex)
{
    if (hex.size() != 6 && hex.size() != 8) return std::nullopt;
    uint8_t v[4] = {0, 0, 0, 255};
    for (size_t i = 0; i < hex.size(); ++i) {
        const auto d = textutil::HexValue(hex[i]);
        if (!d) return std::nullopt;
        v[i / 2] = static_cast<uint8_t>(i % 2 ? v[i / 2] * 16 + *d : *d);
    }
    return Colour{v[0], v[1], v[2], v[3]};
}

bool Render(const QRSymbol& symbol, const PictureOptions& options, const Sink& sink)
{
    using namespace output;
    PictureOptions o = options;
    if (o.margin < 0)
        o.margin = symbol.family == SymbolFamily::QR      ? 4
                   : symbol.family == SymbolFamily::Micro ? kMicroQuietZone
                                                          : kRmqrQuietZone;
    Out out(sink);
    bool made = false;
    switch (o.format) {
    case Format::Png:
    case Format::Png32: made = Png(symbol, o, out); break;
    case Format::Bmp: made = Bmp(symbol, o, out); break;
    case Format::Xpm: made = Xpm(symbol, o, out); break;
    case Format::Svg: made = Svg(symbol, o, out); break;
    case Format::Eps: made = Eps(symbol, o, out); break;
    case Format::Pdf: made = Pdf(symbol, o, out); break;
    case Format::Txt: made = Txt(symbol, out); break;
    case Format::Codewords: made = Codewords(symbol, out); break;
    default: made = Terminal(symbol, o, out); break;
    }
    return out.Flush() && made;
}
