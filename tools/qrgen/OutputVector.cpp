#include <cstdio>
#include <iterator>

#include "OutputParts.h"
#include "TextHelpers.h"

namespace output {
namespace {

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
    for (int y = 0; y < f.height(); ++y)
        for (int x = 0; x < f.width();) {
            if (!f.Dark(x, y)) {
                ++x;
                continue;
            }
            int e = x;
            while (e < f.width() && f.Dark(e, y)) ++e;
            run(x, y, e - x);
            x = e;
        }
}

} // namespace

// One path of horizontal runs in module units, scaled by the view box. The path says stroke="none" because
// ImageMagick's own renderer (which zbarimg reads SVG through) strokes paths that do not.
bool Svg(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const std::string width = std::to_string(f.width()), height = std::to_string(f.height());
    // --inline: no XML declaration, for a page that embeds the picture.
    if (!o.svgInline) out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(f.width() * o.size) + "\" height=\"" +
           std::to_string(f.height() * o.size) + "\" viewBox=\"0 0 " + width + " " + height +
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

static std::string Rgb(const Colour& c)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.3f %.3f %.3f setrgbcolor\n", c.r / 255.0, c.g / 255.0, c.b / 255.0);
    return buf;
}

// Encapsulated PostScript: one rectfill per run, in module units.
bool Eps(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const std::string width = std::to_string(f.width()), height = std::to_string(f.height());
    out += "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: qrgen\n%%BoundingBox: 0 0 " + std::to_string(f.width() * o.size) + " " +
           std::to_string(f.height() * o.size) + "\n%%Pages: 1\n%%EndComments\ngsave\n/R { 1 rectfill } bind def\n" +
           std::to_string(o.size) + " " + std::to_string(o.size) + " scale\n" + Rgb(o.background) + "0 0 " + width +
           " " + height + " rectfill\n" + Rgb(o.foreground);
    ForEachRun(f, [&](int x, int y, int length) {
        out += std::to_string(x) + " " + std::to_string(f.height() - 1 - y) + " " + std::to_string(length) + " R\n";
    });
    out += "grestore\nshowpage\n%%EOF\n";
    return true;
}

namespace {

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return buf;
}

std::string PdfColour(const Colour& c, const char* state)
{
    return std::string("/") + state + " gs " + Number(c.r / 255.0) + " " + Number(c.g / 255.0) + " " +
           Number(c.b / 255.0) + " rg\n";
}

// The page's drawing: the light square, then one rectangle a run, in module units.
std::string PdfContent(const Framed& f, const PictureOptions& o, double module)
{
    const std::string width = std::to_string(f.width()), height = std::to_string(f.height());
    std::string content = "q\n" + Number(module) + " 0 0 " + Number(module) + " 0 0 cm\n" +
                          PdfColour(o.background, "B") + "0 0 " + width + " " + height + " re f\n" +
                          PdfColour(o.foreground, "F");
    ForEachRun(f, [&](int x, int y, int length) {
        content +=
            std::to_string(x) + " " + std::to_string(f.height() - 1 - y) + " " + std::to_string(length) + " 1 re\n";
    });
    return content + "f\nQ\n";
}

} // namespace

// One vector page the size of the symbol: a module is -s pixels at -d dots an
// inch, so -s 3 -d 72 makes 3-point modules. Colours keep their alpha.
bool Pdf(const QRSymbol& s, const PictureOptions& o, Out& out)
{
    const Framed f(s, o.margin);
    const double module = o.size * 72.0 / o.dpi;
    const std::string page = Number(f.width() * module) + " " + Number(f.height() * module);
    const std::string content = PdfContent(f, o, module);
    const std::string objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + page +
            "] /Contents 4 0 R /Resources << /ExtGState << /B 5 0 R /F 6 0 R >> >> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /ExtGState /ca " + Number(o.background.a / 255.0) + " >>",
        "<< /Type /ExtGState /ca " + Number(o.foreground.a / 255.0) + " >>",
    };
    std::string pdf = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n", xref;
    char entry[24];
    for (size_t i = 0; i < std::size(objects); ++i) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
        xref += entry;
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::string start = std::to_string(pdf.size());
    out += pdf;
    out += "xref\n0 " + std::to_string(std::size(objects) + 1) + "\n0000000000 65535 f \n" + xref;
    out += "trailer\n<< /Size " + std::to_string(std::size(objects) + 1) + " /Root 1 0 R >>\nstartxref\n" + start +
           "\n%%EOF\n";
    return true;
}

} // namespace output
