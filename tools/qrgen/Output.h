#pragma once
// The output formats: pictures (PNG, BMP, XPM, SVG, EPS, PDF), terminal drawings and the
// plain matrix or codeword dumps.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Write.h"

struct QRSymbol;

enum class Format {
    Png,
    Png32,
    Bmp,
    Xpm,
    Svg,
    Eps,
    Pdf,
    Utf8,
    Utf8Inverted,
    Ansi,
    Ansi256,
    AnsiUtf8,
    AnsiUtf8Inverted,
    Ansi256Utf8,
    Ascii,
    AsciiInverted,
    Txt,
    Codewords
};

struct Colour {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Colour&) const = default;
};

struct PictureOptions {
    Format format = Format::Png;
    int size = 3;    // pixels (or points) per module
    int margin = -1; // quiet zone in modules; -1: 4, or 2 for Micro QR
    int dpi = 72;
    Colour foreground{0, 0, 0, 255};
    Colour background{255, 255, 255, 255};
    bool svgInline = false; // SVG without the XML declaration
};

// Case-insensitive format name (png, svg, utf8, ...).
std::optional<Format> ParseFormat(std::string_view name);
// RRGGBB or RRGGBBAA.
std::optional<Colour> ParseColour(std::string_view hex);
// File name extension of a format, dot included.
const char* Extension(Format format);

// The symbol in the chosen format, in pieces of at most about 64 KiB; false when
// the sink refused a piece or the picture cannot be made (out of memory).
bool Render(const QRSymbol& symbol, const PictureOptions& options, const Sink& sink);
