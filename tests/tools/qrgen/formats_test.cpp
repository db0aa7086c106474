// Every output type qrgen writes, read back by two decoders nobody here wrote.
#include <gtest/gtest.h>

#include "PictureFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

TEST(QrgenFormats, EveryFormatReadsBackWithBothDecoders)
{
    const std::string text = "Grüße 世界 0123 qrgen";
    struct Case {
        const char* type;
        const char* options;
        const char* name = nullptr; // default out.TYPE
    } cases[] = {
        {"png", "-t PNG"},
        {"png", "-t png --foreground 1A237E --background FFF8E1 -s 4"},
        {"bmp", "-t BMP -s 2"},
        {"svg", "-t SVG -s 4"},
        {"eps", "-t EPS -s 2 --foreground 202020"},
        {"utf8", "-t UTF8"},
        {"ansi", "-t ANSI"},
        {"ascii", "-t ASCII -m 2"},
        // Without -t the name chooses, in any case.
        {"svg", "-s 4", "OUT.SVG"},
        {"eps", "-s 2", "out.Eps"},
        {"bmp", "-s 2", "out.BMP"},
        {"pdf", "-t PDF -s 2 -d 144 --foreground 1A237E"},
        {"pdf", "-s 4", "out.Pdf"},
        {"xpm", "-t XPM -s 2"},
        {"png", "-t PNG32 --background FFF8E1C0"},
    };
    TempDir dir;
    const fs::path folder = dir.path();
    for (const Case& c : cases) {
        const fs::path out = folder / (c.name ? std::string(c.name) : std::string("out.") + c.type);
        int status = -1;
        Shell(kQrgen + " " + c.options + " -o " + Quote(out) + " '" + text + "'", &status);
        ASSERT_EQ(status, 0) << c.options;
        const fs::path picture = Readable(out, c.type, folder);
        EXPECT_EQ(ZbarFile(QString::fromStdString(picture.string())), text) << c.options;
        EXPECT_EQ(ZxingBytes(picture), text) << c.options;
    }
}

} // namespace
