#include <string>

#include "OutputParts.h"
#include "TextHelpers.h"

namespace output {
namespace {

// Half blocks, two module rows a line, as qrencode draws them: UTF8 draws light
// modules (ink on a dark terminal), UTF8i dark ones; the ANSI variants set the
// terminal's colours around each line.
bool HalfBlocks(const QRSymbol& s, const PictureOptions& o, Out& out, bool inverted, const char* colours)
{
    static const char* const kCells[4] = {" ", "\u2584", "\u2580", "\u2588"}; // drawn: none, bottom, top, both
    const Framed f(s, o.margin);
    for (int y = 0; y < f.height(); y += 2) {
        out += colours;
        for (int x = 0; x < f.width(); ++x) {
            // A row below the last is never drawn.
            const int top = f.Dark(x, y) == inverted ? 2 : 0;
            const int bottom = y + 1 < f.height() && f.Dark(x, y + 1) == inverted ? 1 : 0;
            out += kCells[top | bottom];
        }
        out += *colours ? "\x1b[0m\n" : "\n";
    }
    return true;
}

// Upper half blocks with explicit colours: the top module in the foreground
// colour, the bottom one in the background colour; readable on any terminal theme.
bool Ansi(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    for (int y = 0; y < f.height(); y += 2) {
        for (int x = 0; x < f.width(); ++x) {
            const bool top = f.Dark(x, y);
            const bool bottom = y + 1 < f.height() ? f.Dark(x, y + 1) : false;
            out += top ? "\x1b[30;" : "\x1b[97;";
            out += bottom ? "40m\u2580" : "107m\u2580";
        }
        out += "\x1b[0m\n";
    }
    return true;
}

// One module a pair of spaces on a 256-colour background, a module row a line
// (qrencode's ANSI256).
bool Ansi256(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    for (int y = 0; y < f.height(); ++y) {
        int shown = -1;
        for (int x = 0; x < f.width(); ++x) {
            const int dark = f.Dark(x, y) ? 1 : 0;
            if (dark != shown) out += dark ? "\x1b[48;5;16m" : "\x1b[48;5;231m";
            shown = dark;
            out += "  ";
        }
        out += "\x1b[0m\n";
    }
    return true;
}

// "##" a dark module (ASCII), or a light one (ASCIIi).
bool Ascii(const QRSymbol& s, const PictureOptions& o, Out& out, bool inverted)
{
    const Framed f(s, o.margin);
    for (int y = 0; y < f.height(); ++y) {
        for (int x = 0; x < f.width(); ++x) out += f.Dark(x, y) != inverted ? "##" : "  ";
        out += '\n';
    }
    return true;
}

} // namespace

bool Terminal(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    switch (o.format) {
    case Format::Utf8: return HalfBlocks(s, o, out, false, "");
    case Format::Utf8Inverted: return HalfBlocks(s, o, out, true, "");
    case Format::AnsiUtf8: return HalfBlocks(s, o, out, false, "\x1b[40;37;1m");
    case Format::AnsiUtf8Inverted: return HalfBlocks(s, o, out, true, "\x1b[40;37;1m");
    case Format::Ansi256Utf8: return HalfBlocks(s, o, out, false, "\x1b[38;5;231m\x1b[48;5;16m");
    case Format::Ansi: return Ansi(s, o, out);
    case Format::Ansi256: return Ansi256(s, o, out);
    case Format::Ascii: return Ascii(s, o, out, false);
    case Format::AsciiInverted: return Ascii(s, o, out, true);
    default: return false;
    }
}

// The bare matrix, one 0/1 line a row, no quiet zone.
bool Txt(const QRSymbol& s, Out& out)
{
    for (int y = 0; y < Framed::Height(s); ++y) {
        for (int x = 0; x < Framed::Width(s); ++x) out += s.Dark(x, y) ? '1' : '0';
        out += '\n';
    }
    return true;
}

bool Codewords(const QRSymbol& s, Out& out)
{
    std::string hex;
    for (size_t i = 0; i < s.codewords.size(); ++i) {
        hex.clear();
        if (i) hex += ' ';
        textutil::AppendHex(hex, s.codewords[i]);
        out += hex;
    }
    out += "\n";
    return true;
}

} // namespace output
