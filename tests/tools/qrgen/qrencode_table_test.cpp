// qrencode command lines run by qrencode and by qrgen in its place: both
// outputs, turned into module grids here (pictures sampled, text and XPM
// parsed), decode to the same bytes, and qrgen's symbol is no larger.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <regex>
#include <sstream>

#include "PictureFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

using Grid = std::vector<std::vector<bool>>; // [row][column], true = dark

std::string WithoutEscapes(const std::string& text)
{
    return std::regex_replace(text, std::regex("\x1b\\[[0-9;]*m"), "");
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// UTF8 and its variants: half blocks, two module rows a line; drawnIsDark for the "i" types.
Grid FromHalfBlocks(const std::string& text, bool drawnIsDark)
{
    Grid grid;
    for (const std::string& line : Lines(WithoutEscapes(text))) {
        std::vector<bool> top, bottom;
        for (size_t i = 0; i < line.size(); ++i) {
            bool up = false, down = false;
            if (static_cast<unsigned char>(line[i]) == 0xE2 && i + 2 < line.size()) {
                const auto last = static_cast<unsigned char>(line[i + 2]);
                up = last == 0x80 || last == 0x88;   // upper half, full block
                down = last == 0x84 || last == 0x88; // lower half, full block
                i += 2;
            }
            top.push_back(up == drawnIsDark);
            bottom.push_back(down == drawnIsDark);
        }
        grid.push_back(top);
        grid.push_back(bottom);
    }
    if (!grid.empty()) grid.resize(grid[0].size()); // an odd side leaves a half row
    return grid;
}

// ASCII ("##" dark) and ASCIIi ("##" light): two characters a module.
Grid FromAscii(const std::string& text, bool hashIsDark)
{
    Grid grid;
    for (const std::string& line : Lines(text)) {
        grid.emplace_back();
        for (size_t i = 0; i + 1 < line.size(); i += 2) grid.back().push_back((line[i] == '#') == hashIsDark);
    }
    return grid;
}

// ANSI256: two spaces a module, on a background of colour 16 (dark) or 231 (light).
Grid FromAnsi256(const std::string& text)
{
    Grid grid;
    for (const std::string& line : Lines(text)) {
        grid.emplace_back();
        bool dark = false;
        for (size_t i = 0; i < line.size();) {
            if (line[i] == '\x1b') {
                const size_t end = line.find('m', i);
                const std::string code = line.substr(i, end - i);
                if (code.find("48;5;") != std::string::npos) dark = code.substr(code.rfind(';') + 1) == "16";
                i = end + 1;
            } else {
                grid.back().push_back(dark);
                i += 2;
            }
        }
    }
    return grid;
}

// XPM: one character a pixel, size pixels a module; the colour named by the first
// colour line ("F c #000000" in both programs) is dark.
Grid FromXpm(const std::string& text, int size)
{
    const std::vector<std::string> lines = Lines(text);
    size_t at = 0;
    while (at < lines.size() && lines[at] != "/* pixels */") ++at;
    Grid grid;
    for (size_t y = at + 1; y < lines.size() && lines[y][0] == '"'; y += static_cast<size_t>(size)) {
        grid.emplace_back();
        for (size_t x = 1; x + 1 < lines[y].size() && lines[y][x] != '"'; x += static_cast<size_t>(size))
            grid.back().push_back(lines[y][x] == 'F');
    }
    return grid;
}

// A picture sampled at the centre of each module.
Grid FromImage(const QImage& image, double pixelsPerModule)
{
    Grid grid;
    const int side = static_cast<int>(image.width() / pixelsPerModule + 0.5);
    for (int y = 0; y < side; ++y) {
        grid.emplace_back();
        for (int x = 0; x < side; ++x)
            grid.back().push_back(qGray(image.pixel(static_cast<int>((x + 0.5) * pixelsPerModule),
                                                    static_cast<int>((y + 0.5) * pixelsPerModule))) < 128);
    }
    return grid;
}

Grid ReadGrid(const std::string& type, const fs::path& file, int size, const fs::path& scratch)
{
    const std::string text = ReadFile(file);
    if (type == "PNG" || type == "PNG32") return FromImage(QImage(QString::fromStdString(file.string())), size);
    if (type == "XPM") return FromXpm(text, size);
    if (type == "ASCII" || type == "ASCIIi") return FromAscii(text, type == "ASCII");
    if (type == "ANSI256") return FromAnsi256(text);
    if (type == "SVG") { // rasterised at 4 pixels a unit of its view box
        std::smatch box;
        if (!std::regex_search(text, box, std::regex("viewBox=\"0 0 ([0-9]+) "))) return {};
        const std::string pixels = std::to_string(std::stoi(box[1]) * 4);
        Shell("rsvg-convert -w " + pixels + " -h " + pixels + " -b white -o " + Quote(scratch) + " " + Quote(file));
        return FromImage(QImage(QString::fromStdString(scratch.string())), 4);
    }
    const bool inverted = type.back() == 'i';
    return FromHalfBlocks(text, inverted);
}

struct Symbol {
    std::string bytes;
    int side = 0; // modules, without the quiet zone
};

// QR's versions grow by 4 modules a side from 21, Micro QR's by 2 from 11.
int Version(const Symbol& s, bool micro) { return micro ? (s.side - 9) / 2 : (s.side - 17) / 4; }

// The grid's version (its margin is where the finder pattern starts) and what zxing reads from it.
Symbol Decode(const Grid& grid, const fs::path& scratch)
{
    size_t margin = 0;
    while (margin < grid.size() && std::find(grid[margin].begin(), grid[margin].end(), true) == grid[margin].end())
        ++margin;
    const int side = static_cast<int>(grid.size() - 2 * margin);
    QImage image(static_cast<int>(grid.size() + 8) * 4, static_cast<int>(grid.size() + 8) * 4,
                 QImage::Format_Grayscale8);
    image.fill(255);
    for (size_t y = 0; y < grid.size(); ++y)
        for (size_t x = 0; x < grid[y].size() && x < grid.size(); ++x)
            if (grid[y][x])
                for (int p = 0; p < 16; ++p)
                    image.setPixel(static_cast<int>(x + 4) * 4 + p % 4, static_cast<int>(y + 4) * 4 + p / 4, 0);
    image.save(QString::fromStdString(scratch.string()));
    return {ZxingBytes(scratch), side};
}

struct Row {
    std::string args; // after the program's name; OUT is the output file
    std::string type = "PNG";
    std::string decoded = "Hello 2025";
    int size = 3;
    bool micro = false;
};

// Every option alone, and the combinations people type.
std::vector<Row> Rows(const std::string& file, const std::string& sjisFile, const std::string& sjis)
{
    return {
        {"-M -v 3 -l M 'Hello 2025'", "PNG", "Hello 2025", 3, true},
        {"-l Q -r " + file, "PNG", "From a file, 12345"},
        {"-l Q -8 'Hello 2025'"},
        {"-l Q -k -r " + sjisFile, "PNG", sjis},
        {"-l Q -c 'Hello 2025'"},
        {"-l Q -i 'Hello 2025'", "PNG", "HELLO 2025"},
        {"-l Q --strict-version -v 3 'Hello 2025'"},
        {"-l Q --rle -t SVG 'Hello 2025'", "SVG"},
        {"-l Q --svg-path -t SVG 'Hello 2025'", "SVG"},
        {"-l Q --inline -t SVG 'Hello 2025'", "SVG"},
        {"-l Q --verbose 'Hello 2025'"},
        {"-l Q -t PNG32 'Hello 2025'", "PNG32"},
        {"-l Q -t XPM 'Hello 2025'", "XPM"},
        {"-l Q -t ANSI256 'Hello 2025'", "ANSI256"},
        {"-l Q -t ASCIIi 'Hello 2025'", "ASCIIi"},
        {"-l Q -t UTF8i 'Hello 2025'", "UTF8i"},
        {"-l Q -t ANSIUTF8 'Hello 2025'", "ANSIUTF8"},
        {"-l Q -t ANSIUTF8i 'Hello 2025'", "ANSIUTF8i"},
        {"-l Q -t ANSI256UTF8 'Hello 2025'", "ANSI256UTF8"},
        {"-l H -s 8 -m 2 'Hello 2025'", "PNG", "Hello 2025", 8},
        {"-8 -r " + file + " -l Q", "PNG", "From a file, 12345"},
        {"-k -r " + sjisFile + " -l M", "PNG", sjis},
        {"-t SVG --rle --svg-path --inline -l Q 'Hello 2025'", "SVG"},
        {"--foreground 000080C0 --background FFFFF0E0 -l Q 'Hello 2025'"},
        {"-i -l Q 'Hello 2025'", "PNG", "HELLO 2025"},
        {"--strict-version -v 2 -l Q 'Hello 2025'"},
        {"-t ANSIUTF8i -l Q 'Hello 2025'", "ANSIUTF8i"},
    };
}

TEST(QrgenAsQrencode, SameCommandLinesDecodeToTheSameText)
{
    TempDir dir;
    const std::string sjis = "\x8a\xbf\x8e\x9a\x83\x65\x83\x58\x83\x67"; // 漢字テスト in Shift JIS
    dir.Write("text.txt", "From a file, 12345");
    dir.Write("sjis.txt", sjis);
    const std::string file = Quote(dir.path() / "text.txt"), sjisFile = Quote(dir.path() / "sjis.txt");
    const std::vector<Row> rows = Rows(file, sjisFile, sjis);
    const fs::path scratch = dir.path() / "scratch.png";
    for (const Row& row : rows) {
        Symbol symbols[2];
        const std::string programs[2] = {"qrencode", kQrgen};
        for (int p = 0; p < 2; ++p) {
            const fs::path out = dir.path() / ("out" + std::to_string(p));
            fs::remove(out);
            int status = -1;
            const std::string said =
                Shell(programs[p] + " " + row.args + " -o " + Quote(out) + " 2>&1 >/dev/null", &status);
            ASSERT_EQ(status, 0) << programs[p] << " " << row.args << "\n" << said;
            symbols[p] = Decode(ReadGrid(row.type, out, row.size, dir.path() / "svg.png"), scratch);
            EXPECT_EQ(symbols[p].bytes, row.decoded) << programs[p] << " " << row.args;
            if (row.args.find("--verbose") != std::string::npos) {
                EXPECT_NE(said.find(", Version: " + std::to_string(Version(symbols[p], row.micro)) + "\n"),
                          std::string::npos)
                    << programs[p] << ": " << said;
            }
        }
        EXPECT_GT(Version(symbols[1], row.micro), 0) << row.args;
        EXPECT_LE(symbols[1].side, symbols[0].side) << row.args;
        if (row.args.find("--strict-version") != std::string::npos || row.micro) {
            EXPECT_EQ(symbols[1].side, symbols[0].side) << row.args;
        }
    }
}

// -S -v 5 -o set.png: both programs write set-01.png ..., whose shares read in
// order are the text; qrgen's set is no longer than qrencode's.
TEST(QrgenAsQrencode, StructuredAppendSetsJoinToTheText)
{
    TempDir dir;
    std::string text;
    for (int i = 0; i < 40; ++i) text += "share " + std::to_string(i * 7919) + ";";
    const std::string programs[2] = {"qrencode", kQrgen};
    std::vector<std::string> names[2];
    for (int p = 0; p < 2; ++p) {
        const fs::path folder = dir.path() / ("p" + std::to_string(p));
        fs::create_directory(folder);
        int status = -1;
        Shell(programs[p] + " -S -v 5 -l Q -o " + Quote(folder / "set.png") + " '" + text + "'", &status);
        ASSERT_EQ(status, 0) << programs[p];
        names[p] = Names(folder);
        std::string joined;
        for (const std::string& name : names[p]) joined += ZxingBytes(folder / name);
        EXPECT_EQ(joined, text) << programs[p];
    }
    EXPECT_GE(names[1].size(), 2u);
    EXPECT_LE(names[1].size(), names[0].size());
    EXPECT_EQ(names[1][0], "set-01.png");
}

} // namespace
