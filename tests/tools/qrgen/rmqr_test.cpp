// qrgen --rmqr in the output types, read back by zxing-cpp 2.x (zxing-wasm):
// the size asked for (or the smallest), the level, the bytes.
#include <gtest/gtest.h>

#include "PictureFiles.h"
#include "ZxingWasm.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

std::string HexOf(const std::string& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {kDigits[c >> 4], kDigits[c & 15]};
    return out;
}

TEST(QrgenRmqr, EveryTypeReadsBackAtTheSizeAsked)
{
    if (!ZxingWasmAvailable()) GTEST_SKIP() << "zxing-wasm is not installed (test.sh installs it)";
    TempDir dir;
    struct Case {
        const char* options;
        const char* type; // for Readable
        const char* text;
        const char* size;
        const char* level;
    } cases[] = {
        // Automatic: the smallest area that holds the data (R13x27's 351 modules before R7x59's 413).
        {"--rmqr", "png", "HELLO RMQR 2025", "R13x27", "M"},
        {"--rmqr --rmqr-size R11x43 -l H -t SVG", "svg", "hi", "R11x43", "H"},
        {"--rmqr --rmqr-height 9 -t PDF -s 4", "pdf", "https://example.com/rmqr", "R7x99", "M"},
        {"--rmqr -l H -t BMP", "bmp", "rectangular", "R13x43", "H"},
        {"--rmqr -t XPM -m 3", "xpm", "12345678901234567890", "R13x27", "M"},
    };
    std::vector<std::string> files;
    for (const Case& c : cases) {
        const fs::path out = dir.path() / ("out" + std::to_string(files.size()) + "." + c.type);
        int status = -1;
        Shell(kQrgen + " " + c.options + " -o " + Quote(out) + " '" + c.text + "'", &status);
        ASSERT_EQ(status, 0) << c.options;
        files.push_back(Readable(out, c.type, dir.path()).string());
    }
    const auto read = ZxingWasmFiles(files);
    ASSERT_EQ(read.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_EQ(read[i].size(), 1u) << cases[i].options;
        EXPECT_EQ(read[i][0].format, "RMQRCode") << cases[i].options;
        EXPECT_EQ(read[i][0].bytesHex, HexOf(cases[i].text)) << cases[i].options;
        EXPECT_EQ(read[i][0].version, cases[i].size) << cases[i].options;
        EXPECT_EQ(read[i][0].ecLevel, cases[i].level) << cases[i].options;
    }
}

} // namespace
