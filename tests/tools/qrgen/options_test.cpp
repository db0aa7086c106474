// qrencode's options as qrgen takes them: their effect on the symbol and on the file.
#include <gtest/gtest.h>

#include "PictureFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

// IHDR width, bit depth and colour type; pHYs pixels a metre.
struct PngFacts {
    uint32_t width = 0;
    int depth = 0, colourType = -1;
    uint32_t perMetre = 0;
};

uint32_t BigEndian(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && at + i < s.size(); ++i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
    return v;
}

PngFacts ReadPngFacts(const std::string& png)
{
    PngFacts f;
    if (png.size() < 33 || png.compare(12, 4, "IHDR") != 0) return f;
    f.width = BigEndian(png, 16);
    f.depth = static_cast<uint8_t>(png[24]);
    f.colourType = static_cast<uint8_t>(png[25]);
    const size_t phys = png.find("pHYs");
    if (phys != std::string::npos) f.perMetre = BigEndian(png, phys + 4);
    return f;
}

TEST(QrgenOptions, OptionsShapeTheSymbolAndTheFile)
{
    struct Case {
        const char* options;
        uint32_t width; // (4 * version + 17 + 2 * margin) * size
        const char* level;
        int colourType; // 0 grey, 3 palette
        uint32_t perMetre;
    } cases[] = {
        {"-s 2 -m 1 -l H -v 5", (37 + 2) * 2, "H", 0, 2835},
        {"--size 5 --margin 0 --level l --symversion 1 -d 300", 21 * 5, "L", 0, 11811},
        {"--scale 1 -v 2 --level M --foreground 000080", 25 + 8, "M", 3, 2835},
        {"-v 3 --mask 0", (29 + 8) * 3, "Q", 0, 2835},
        {"-v 3 --background FFFFFF80 --mask 5", (29 + 8) * 3, "Q", 3, 2835},
    };
    TempDir dir;
    const fs::path out = dir.path() / "o.png";
    for (const Case& c : cases) {
        int status = -1;
        Shell(kQrgen + " " + c.options + " -o " + Quote(out) + " hello", &status);
        ASSERT_EQ(status, 0) << c.options;
        const PngFacts f = ReadPngFacts(ReadFile(out));
        EXPECT_EQ(f.width, c.width) << c.options;
        EXPECT_EQ(f.depth, 1) << c.options;
        EXPECT_EQ(f.colourType, c.colourType) << c.options;
        EXPECT_EQ(f.perMetre, c.perMetre) << c.options;
        if (std::string(c.options).find("FFFFFF80") == std::string::npos) {
            EXPECT_NE(ZxingReport(out).find(std::string("EC Level:   ") + c.level), std::string::npos) << c.options;
            EXPECT_EQ(ZxingBytes(out), "hello") << c.options;
        } else {
            EXPECT_NE(ReadFile(out).find("tRNS"), std::string::npos);
        }
    }
}

// 11 bytes fill version 1 at level Q; the 12 bits of an ECI header push them into version 2.
// The header names UTF-8, or Shift JIS for --kanji, and readers show the text it means.
TEST(QrgenOptions, EciHeaderTellsReadersTheCharacterSet)
{
    struct Case {
        const char* options;
        std::string text;
        uint32_t width;
        bool eci;
        std::string shown = {}; // the text readers show, when the bytes are not UTF-8
    } cases[] = {
        {"", std::string(11, 'k'), 21 + 8, false},
        {"--eci", std::string(11, 'k'), 25 + 8, true},
        {"--eci", std::string(10, 'k'), 21 + 8, true},
        {"--eci -l L", "Grüße 世界", 21 + 8, true},
        {"--kanji --eci", "\x8a\xbf\x8e\x9a", 21 + 8, true, "漢字"},
    };
    TempDir dir;
    const fs::path out = dir.path() / "eci.png";
    for (const Case& c : cases) {
        int status = -1;
        Shell(kQrgen + " -s 1 " + c.options + " -o " + Quote(out) + " '" + c.text + "'", &status);
        ASSERT_EQ(status, 0) << c.options;
        EXPECT_EQ(ReadPngFacts(ReadFile(out)).width, c.width) << c.options << " " << c.text;
        const fs::path big = dir.path() / "eci-big.png";
        QImage(QString::fromStdString(out.string()))
            .scaled(c.width * 4, c.width * 4)
            .save(QString::fromStdString(big.string()));
        const std::string report = ZxingReport(big);
        EXPECT_NE(report.find(c.eci ? "HasECI:     true" : "HasECI:     false"), std::string::npos) << c.options;
        EXPECT_NE(report.find("Text:       \"" + (c.shown.empty() ? c.text : c.shown) + "\"\n"), std::string::npos)
            << c.options << "\n"
            << report;
        EXPECT_EQ(ZxingBytes(big), c.text) << c.options;
    }
}

TEST(QrgenOptions, FilesAsSmallAsQrencodes)
{
    TempDir dir;
    const fs::path ours = dir.path() / "ours.png";
    const fs::path peer = dir.path() / "peer.png";
    for (const std::string& text : {std::string("hello"), std::string(1200, 'x') + "y"}) {
        int status = -1;
        Shell(kQrgen + " -s 3 -m 4 -l Q -o " + Quote(ours) + " '" + text + "'", &status);
        ASSERT_EQ(status, 0);
        Shell("qrencode -s 3 -m 4 -l Q -o " + Quote(peer) + " '" + text + "'");
        const auto peerSize = fs::file_size(peer);
        ASSERT_GT(peerSize, 0u);
        EXPECT_LE(fs::file_size(ours), peerSize + peerSize / 4) << text.size();
        EXPECT_EQ(ReadPngFacts(ReadFile(ours)).width, ReadPngFacts(ReadFile(peer)).width) << text.size();
    }
}

} // namespace
