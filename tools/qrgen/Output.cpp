#include "Output.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "AsciiCase.h"
#include "TextHelpers.h"
#include "clsQRCode.h"

namespace {

// The symbol with its quiet zone: Dark(x, y) for -margin <= x, y < n + margin.
class Framed {
public:
    Framed(const QRSymbol& s, int margin) : s_(s), margin_(margin), side_(s.size + 2 * margin) {}
    int side() const { return side_; }
    bool Dark(int x, int y) const
    {
        x -= margin_;
        y -= margin_;
        return x >= 0 && y >= 0 && x < s_.size && y < s_.size && s_.Dark(x, y);
    }

private:
    const QRSymbol& s_;
    int margin_;
    int side_;
};

// Output in pieces of about 64 KiB, so a picture of any size takes no more memory than that.
class Out {
public:
    explicit Out(const Sink& sink) : sink_(sink) { buffer_.reserve(kPiece + 4096); }
    Out& operator+=(std::string_view bytes)
    {
        buffer_ += bytes;
        if (buffer_.size() >= kPiece) Flush();
        return *this;
    }
    Out& operator+=(char c) { return *this += std::string_view(&c, 1); }
    void push_back(char c) { *this += c; }
    void append(const char* bytes, size_t length) { *this += std::string_view(bytes, length); }
    bool Flush()
    {
        if (ok_ && !buffer_.empty()) ok_ = sink_(buffer_);
        buffer_.clear();
        return ok_;
    }

private:
    static constexpr size_t kPiece = 1 << 16;
    const Sink& sink_;
    std::string buffer_;
    bool ok_ = true;
};

// One row of the picture at one bit a pixel, dark pixels set to `darkBit`:
// each module shifts `size` equal bits into an accumulator, whole bytes go out.
void PackRow(const Framed& f, int y, int size, int darkBit, std::vector<png_byte>& row)
{
    uint64_t acc = 0;
    int pending = 0;
    size_t at = 0;
    for (int x = 0; x < f.side(); ++x) {
        const bool set = f.Dark(x, y) == (darkBit != 0);
        for (int left = size; left > 0;) {
            const int n = std::min(left, 32); // at most 7 bits wait in acc, so 32 more fit
            acc = acc << n | (set ? (uint64_t{1} << n) - 1 : 0);
            left -= n;
            for (pending += n; pending >= 8; pending -= 8) row[at++] = static_cast<png_byte>(acc >> (pending - 8));
        }
    }
    if (pending) row[at] = static_cast<png_byte>(acc << (8 - pending));
}

void AppendPng(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Out*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

// libpng reports errors by longjmp: this frame holds the setjmp and changes
// nothing after it that the caller reads, and no frame with destructors lies
// between it and the library.
bool WritePng(png_structp png, png_infop info, const Framed& f, const PictureOptions& o, bool plain, Out* out,
              std::vector<png_byte>* row)
{
    if (setjmp(png_jmpbuf(png))) return false;
    const auto pixels = static_cast<png_uint_32>(f.side() * o.size);
    png_set_write_fn(png, out, AppendPng, nullptr);
    png_set_IHDR(png, info, pixels, pixels, 1, plain ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!plain) {
        png_color palette[2] = {{o.background.r, o.background.g, o.background.b},
                                {o.foreground.r, o.foreground.g, o.foreground.b}};
        png_set_PLTE(png, info, palette, 2);
        if (o.background.a != 255 || o.foreground.a != 255) {
            png_byte alpha[2] = {o.background.a, o.foreground.a};
            png_set_tRNS(png, info, alpha, 2, nullptr);
        }
    }
    const auto perMetre = static_cast<png_uint_32>(std::lround(o.dpi / 0.0254));
    png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    // No row filter: on two-tone rows it only costs time and bytes.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (int y = 0; y < f.side(); ++y) {
        PackRow(f, y, o.size, plain ? 0 : 1, *row);
        for (int r = 0; r < o.size; ++r) png_write_row(png, row->data());
    }
    png_write_end(png, nullptr);
    return true;
}

// 1-bit grey (black on white) or a 2-colour palette, as small as PNG gets.
bool Png(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    const bool plain = o.foreground == Colour{0, 0, 0, 255} && o.background == Colour{255, 255, 255, 255};
    std::vector<png_byte> row((static_cast<size_t>(f.side() * o.size) + 7) / 8);
    const bool ok = WritePng(png, info, f, o, plain, &out, &row);
    png_destroy_write_struct(&png, &info);
    return ok;
}

void PutLe(Out& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// 1-bit BMP with a two-colour table, rows bottom-up and padded to 4 bytes.
bool Bmp(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const auto pixels = static_cast<uint32_t>(f.side() * o.size);
    const uint32_t stride = (pixels + 31) / 32 * 4;
    const uint32_t offset = 14 + 40 + 8;
    out += "BM";
    PutLe(out, offset + stride * pixels, 4);
    PutLe(out, 0, 4);
    PutLe(out, offset, 4);
    PutLe(out, 40, 4);
    PutLe(out, pixels, 4);
    PutLe(out, pixels, 4);
    PutLe(out, 1, 2);
    PutLe(out, 1, 2);
    PutLe(out, 0, 4);
    PutLe(out, stride * pixels, 4);
    const auto perMetre = static_cast<uint32_t>(std::lround(o.dpi / 0.0254));
    PutLe(out, perMetre, 4);
    PutLe(out, perMetre, 4);
    PutLe(out, 2, 4);
    PutLe(out, 0, 4);
    for (const Colour& c : {o.background, o.foreground}) {
        out.push_back(static_cast<char>(c.b));
        out.push_back(static_cast<char>(c.g));
        out.push_back(static_cast<char>(c.r));
        out.push_back(0);
    }
    std::vector<png_byte> row(stride);
    for (int y = f.side() - 1; y >= 0; --y) {
        PackRow(f, y, o.size, 1, row);
        std::fill(row.begin() + (pixels + 7) / 8, row.end(), 0);
        for (int r = 0; r < o.size; ++r) out.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    return true;
}

std::string Hex(const Colour& c)
{
    std::string out = "#";
    for (uint8_t part : {c.r, c.g, c.b}) textutil::AppendHex(out, part);
    return out;
}

std::string Opacity(const char* attribute, const Colour& c)
{
    if (c.a == 255) return {};
    char buf[48];
    std::snprintf(buf, sizeof buf, " %s=\"%.3f\"", attribute, c.a / 255.0);
    return buf;
}

// Calls run(x, y, length) for every horizontal run of dark modules.
template <typename Run>
void ForEachRun(const Framed& f, Run run)
{
    for (int y = 0; y < f.side(); ++y)
        for (int x = 0; x < f.side();) {
            if (!f.Dark(x, y)) {
                ++x;
                continue;
            }
            int e = x;
            while (e < f.side() && f.Dark(e, y)) ++e;
            run(x, y, e - x);
            x = e;
        }
}

// One path of horizontal runs in module units, scaled by the view box. The path says stroke="none" because
// ImageMagick's own renderer (which zbarimg reads SVG through) strokes paths that do not.
bool Svg(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const std::string side = std::to_string(f.side());
    const std::string pixels = std::to_string(f.side() * o.size);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + pixels +
           "\" height=\"" + pixels + "\" viewBox=\"0 0 " + side + " " + side +
           "\" shape-rendering=\"crispEdges\">\n<rect width=\"100%\" height=\"100%\" fill=\"" + Hex(o.background) +
           "\"" + Opacity("fill-opacity", o.background) + "/>\n<path stroke=\"none\" fill=\"" + Hex(o.foreground) +
           "\"" + Opacity("fill-opacity", o.foreground) + " d=\"";
    ForEachRun(f, [&](int x, int y, int length) {
        out += "M" + std::to_string(x) + " " + std::to_string(y) + "h" + std::to_string(length) + "v1h-" +
               std::to_string(length) + "z";
    });
    out += "\"/>\n</svg>\n";
    return true;
}

std::string Rgb(const Colour& c)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.3f %.3f %.3f setrgbcolor\n", c.r / 255.0, c.g / 255.0, c.b / 255.0);
    return buf;
}

// Encapsulated PostScript: one rectfill per run, in module units.
bool Eps(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const std::string side = std::to_string(f.side());
    const std::string points = std::to_string(f.side() * o.size);
    out += "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: qrgen\n%%BoundingBox: 0 0 " + points + " " + points +
           "\n%%Pages: 1\n%%EndComments\ngsave\n/R { 1 rectfill } bind def\n" + std::to_string(o.size) + " " +
           std::to_string(o.size) + " scale\n" + Rgb(o.background) + "0 0 " + side + " " + side + " rectfill\n" +
           Rgb(o.foreground);
    ForEachRun(f, [&](int x, int y, int length) {
        out += std::to_string(x) + " " + std::to_string(f.side() - 1 - y) + " " + std::to_string(length) + " R\n";
    });
    out += "grestore\nshowpage\n%%EOF\n";
    return true;
}

// Half blocks, two module rows a line. Light modules are drawn (ink on a dark
// terminal), as terminal QR tools do.
bool Utf8(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    static const char* const kCells[4] = {" ", "\u2584", "\u2580", "\u2588"}; // light: none, bottom, top, both
    const Framed f(s, o.margin);
    for (int y = 0; y < f.side(); y += 2) {
        for (int x = 0; x < f.side(); ++x) {
            const int top = f.Dark(x, y) ? 0 : 2;
            const int bottom = (y + 1 < f.side() && !f.Dark(x, y + 1)) ? 1 : 0;
            out += kCells[top | bottom];
        }
        out += '\n';
    }
    return true;
}

// Upper half blocks with explicit colours: the top module in the foreground
// colour, the bottom one in the background colour; readable on any terminal theme.
bool Ansi(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    for (int y = 0; y < f.side(); y += 2) {
        for (int x = 0; x < f.side(); ++x) {
            const bool top = f.Dark(x, y);
            const bool bottom = y + 1 < f.side() ? f.Dark(x, y + 1) : false;
            out += top ? "\x1b[30;" : "\x1b[97;";
            out += bottom ? "40m\u2580" : "107m\u2580";
        }
        out += "\x1b[0m\n";
    }
    return true;
}

bool Ascii(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    for (int y = 0; y < f.side(); ++y) {
        for (int x = 0; x < f.side(); ++x) out += f.Dark(x, y) ? "##" : "  ";
        out += '\n';
    }
    return true;
}

// The bare matrix, one 0/1 line a row, no quiet zone.
bool Txt(const QRSymbol& s, Out& out)
{
    for (int y = 0; y < s.size; ++y) {
        for (int x = 0; x < s.size; ++x) out += s.Dark(x, y) ? '1' : '0';
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

struct FormatName {
    const char* name;
    Format format;
    const char* extension;
};
constexpr FormatName kFormats[] = {
    {"png", Format::Png, ".png"},     {"bmp", Format::Bmp, ".bmp"},   {"svg", Format::Svg, ".svg"},
    {"eps", Format::Eps, ".eps"},     {"utf8", Format::Utf8, ".txt"}, {"ansi", Format::Ansi, ".txt"},
    {"ascii", Format::Ascii, ".txt"}, {"txt", Format::Txt, ".txt"},   {"codewords", Format::Codewords, ".txt"},
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
        const int d = textutil::HexValue(hex[i]);
        if (d < 0) return std::nullopt;
        v[i / 2] = static_cast<uint8_t>(i % 2 ? v[i / 2] * 16 + d : d);
    }
    return Colour{v[0], v[1], v[2], v[3]};
}

bool Render(const QRSymbol& symbol, const PictureOptions& o, const Sink& sink)
{
    Out out(sink);
    bool made = false;
    switch (o.format) {
    case Format::Png: made = Png(symbol, o, out); break;
    case Format::Bmp: made = Bmp(symbol, o, out); break;
    case Format::Svg: made = Svg(symbol, o, out); break;
    case Format::Eps: made = Eps(symbol, o, out); break;
    case Format::Utf8: made = Utf8(symbol, o, out); break;
    case Format::Ansi: made = Ansi(symbol, o, out); break;
    case Format::Ascii: made = Ascii(symbol, o, out); break;
    case Format::Txt: made = Txt(symbol, out); break;
    case Format::Codewords: made = Codewords(symbol, out); break;
    }
    return out.Flush() && made;
}
