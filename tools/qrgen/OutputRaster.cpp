#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "OutputParts.h"

namespace output {
namespace {

// Inverts bits [from, from + n) of a row, highest bit of a byte first.
void FlipBits(png_byte* row, int from, int n)
{
    while (n > 0) {
        const int bit = from % 8;
        const int take = std::min(n, 8 - bit);
        row[from / 8] ^= static_cast<png_byte>(((1u << take) - 1) << (8 - bit - take));
        from += take;
        n -= take;
    }
}

// One row of the picture at one bit a pixel, dark pixels set to `darkBit`: the
// row starts light and each dark module inverts its `size` bits. The bits after
// the last pixel stay 0.
void PackRow(const Framed& f, int y, int size, int darkBit, std::vector<png_byte>& row)
{
    const int pixels = f.width() * size;
    png_byte* bytes = row.data();
    std::fill(bytes, bytes + (pixels + 7) / 8, static_cast<png_byte>(darkBit ? 0x00 : 0xFF));
    const uint8_t* modules = f.SymbolRow(y);
    if (modules && size > 32) {
        for (int x = 0, from = f.margin() * size; x < f.symbolWidth(); ++x, from += size)
            if (modules[x]) FlipBits(bytes, from, size);
    } else if (modules) {
        // Without a branch on the module: a dark one shifts in `size` set bits
        // (random dark and light modules are what a branch predictor cannot learn).
        const uint64_t ones = (uint64_t{1} << size) - 1;
        size_t at = static_cast<size_t>(f.margin() * size / 8);
        int pending = f.margin() * size % 8;
        uint64_t acc = 0;
        for (int x = 0; x < f.symbolWidth(); ++x) {
            acc = acc << size | (ones & (0 - static_cast<uint64_t>(modules[x] != 0)));
            for (pending += size; pending >= 8; pending -= 8)
                bytes[at++] ^= static_cast<png_byte>(acc >> (pending - 8));
        }
        if (pending) bytes[at] ^= static_cast<png_byte>(acc << (8 - pending));
    }
    if (pixels % 8) bytes[pixels / 8] &= static_cast<png_byte>(0xFF00u >> (pixels % 8));
}

// One row of the picture at 8 bits a channel, red, green, blue and alpha (PNG32).
void RgbaRow(const Framed& f, int y, const PictureOptions& o, std::vector<png_byte>& row)
{
    size_t at = 0;
    for (int x = 0; x < f.width(); ++x) {
        const Colour& c = f.Dark(x, y) ? o.foreground : o.background;
        for (int i = 0; i < o.size; ++i)
            for (uint8_t channel : {c.r, c.g, c.b, c.a}) row[at++] = channel;
    }
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
    const auto width = static_cast<png_uint_32>(f.width() * o.size);
    const auto height = static_cast<png_uint_32>(f.height() * o.size);
    const bool rgba = o.format == Format::Png32;
    png_set_write_fn(png, out, AppendPng, nullptr);
    png_set_IHDR(png, info, width, height, rgba ? 8 : 1,
                 rgba    ? PNG_COLOR_TYPE_RGB_ALPHA
                 : plain ? PNG_COLOR_TYPE_GRAY
                         : PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!plain && !rgba) {
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
    // A 4096-entry match table (zlib's default has 32768, cleared for every
    // picture) finds the same repeats in rows this narrow, and level 5 finds the
    // repeated rows as well as 6: within 2% of the size, 10% less time.
    png_set_compression_mem_level(png, 5);
    png_set_compression_level(png, 5);
    png_write_info(png, info);
    for (int y = 0; y < f.height(); ++y) {
        if (rgba) RgbaRow(f, y, o, *row);
        else PackRow(f, y, o.size, plain ? 0 : 1, *row);
        for (int r = 0; r < o.size; ++r) png_write_row(png, row->data());
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

// 1-bit grey (black on white) or a 2-colour palette, as small as PNG gets; or
// PNG32, 8-bit RGBA, as qrencode writes it.
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
    const size_t pixels = static_cast<size_t>(f.width() * o.size);
    std::vector<png_byte> row(o.format == Format::Png32 ? 4 * pixels : (pixels + 7) / 8);
    const bool ok = WritePng(png, info, f, o, plain, &out, &row);
    png_destroy_write_struct(&png, &info);
    return ok;
}

static void PutLe(Out& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// 1-bit BMP with a two-colour table, rows bottom-up and padded to 4 bytes.
bool Bmp(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const auto pixels = static_cast<uint32_t>(f.width() * o.size);
    const auto rows = static_cast<uint32_t>(f.height() * o.size);
    const uint32_t stride = (pixels + 31) / 32 * 4;
    const uint32_t offset = 14 + 40 + 8;
    out += "BM";
    PutLe(out, offset + stride * rows, 4);
    PutLe(out, 0, 4);
    PutLe(out, offset, 4);
    PutLe(out, 40, 4);
    PutLe(out, pixels, 4);
    PutLe(out, rows, 4);
    PutLe(out, 1, 2);
    PutLe(out, 1, 2);
    PutLe(out, 0, 4);
    PutLe(out, stride * rows, 4);
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
    for (int y = f.height() - 1; y >= 0; --y) {
        PackRow(f, y, o.size, 1, row);
        std::fill(row.begin() + (pixels + 7) / 8, row.end(), 0);
        for (int r = 0; r < o.size; ++r) out.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    return true;
}

// XPM as qrencode writes it: one character a pixel, F dark and B light.
bool Xpm(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const std::string pixels = std::to_string(f.width() * o.size) + " " + std::to_string(f.height() * o.size);
    const auto hex = [](const Colour& c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
        return std::string(buf);
    };
    out += "/* XPM */\nstatic const char *const qrcode_xpm[] = {\n/* width height ncolors chars_per_pixel */\n\"" +
           pixels + " 2 1\",\n/* colors */\n\"F c " + hex(o.foreground) + "\",\n\"B c " + hex(o.background) +
           "\",\n/* pixels */\n";
    // Each pixel row ends in ",", but the last; then the array is closed (qrencode leaves it open).
    std::string row;
    for (int y = 0; y < f.height(); ++y) {
        row = "\"";
        for (int x = 0; x < f.width(); ++x) row.append(static_cast<size_t>(o.size), f.Dark(x, y) ? 'F' : 'B');
        for (int r = 0; r < o.size; ++r) {
            out += row;
            out += y + 1 == f.height() && r + 1 == o.size ? "\"\n" : "\",\n";
        }
    }
    out += "};\n";
    return true;
}

} // namespace output
