// Micro QR against code nobody here wrote: zint builds the same symbols module for module,
// segno too wherever it pads as ISO/IEC 18004 does, and zxing-cpp 1.4 and 2.x read ours back
// with the right bytes, version and level.
#include <gtest/gtest.h>

#include <QImage>
#include <cctype>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "MicroQR.h"
#include "Readers.h"
#include "ZxingWasm.h"

namespace {

using testsupport::Hex;
using testsupport::Shell;
using testsupport::TempDir;

constexpr int kScale = 4;

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

std::string Rows(const QRSymbol& s)
{
    std::string out;
    for (int y = 0; y < s.size; ++y) {
        if (y) out += ',';
        for (int x = 0; x < s.size; ++x) out += s.Dark(x, y) ? '1' : '0';
    }
    return out;
}

// The symbol as a PNG with the default quiet zone, kScale pixels a module.
std::string WritePng(const QRSymbol& s, const TempDir& dir, const std::string& name)
{
    const int side = (s.size + 2 * kMicroQuietZone) * kScale;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int mx = x / kScale - kMicroQuietZone, my = y / kScale - kMicroQuietZone;
            if (mx >= 0 && my >= 0 && mx < s.size && my < s.size && s.Dark(mx, my)) image.setPixel(x, y, 0);
        }
    const std::string path = (dir.path() / name).string();
    return image.save(QString::fromStdString(path)) ? path : std::string();
}

std::string Field(const std::string& report, const std::string& label)
{
    const size_t at = report.find(label);
    if (at == std::string::npos) return "<none>";
    const size_t start = report.find_first_not_of(' ', at + label.size());
    return report.substr(start, report.find('\n', start) - start);
}

// Modules a side as zxing-cpp 1.4 locates the symbol: from its left to its right corner.
int ModulesSeen(const std::string& report)
{
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (std::sscanf(Field(report, "Position:").c_str(), "%dx%d %dx%d", &x0, &y0, &x1, &y1) != 4) return 0;
    return (x1 - x0 + kScale / 2) / kScale;
}

struct DecodeCase {
    std::optional<int32_t> version;
    EcLevel level;
    std::string data;
    bool kanji;
    int expectedVersion;
};

// Every version and level, each mode the version has, mixed segments, and automatic versions.
const DecodeCase kDecodeCases[] = {
    {1, EcLevel::L, "01234", false, 1},
    {2, EcLevel::L, "HI 42", false, 2},
    {2, EcLevel::M, "31415926", false, 2},
    {3, EcLevel::L, "abc12345678", false, 3},
    {3, EcLevel::L, "\x93\x5f\xe4\xaa\x8a\xbf\x8e\x9a", true, 3},
    {3, EcLevel::M, "ABCdef", false, 3},
    {4, EcLevel::L, "Micro QR, M4-L!", false, 4},
    {4, EcLevel::M, "\x93\x5f\xe4\xaaZ-9 0123456", true, 4},
    {4, EcLevel::Q, "MICRO-QR", false, 4},
    {std::nullopt, EcLevel::L, "12345", false, 1},
    {std::nullopt, EcLevel::L, "123456", false, 2},
    {std::nullopt, EcLevel::M, "Hello", false, 3},
    {std::nullopt, EcLevel::Q, "", false, 4},
};

std::string LowerHex(const std::string& bytes)
{
    std::string out = Hex(bytes, "");
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

TEST(MicroQR, ZxingReadsEveryVersionAndLevel)
{
    TempDir dir;
    const char* levelName[] = {"L", "M", "Q", "H"};
    std::vector<std::string> files;
    for (const DecodeCase& c : kDecodeCases) {
        SCOPED_TRACE(Hex(c.data));
        // The four masks in turn, and the evaluation's choice.
        const int pattern = static_cast<int>(files.size() % 5);
        const MaskChoice mask = pattern < 4 ? *MaskPattern(pattern) : MaskChoice::Automatic;
        const auto symbol = EncodeMicro(Bytes(c.data), {c.version, c.level, mask, c.kanji});
        ASSERT_TRUE(symbol) << static_cast<int>(symbol.error());
        EXPECT_EQ(symbol->version, c.expectedVersion);
        if (pattern < 4) {
            EXPECT_EQ(symbol->mask, pattern);
        }
        EXPECT_EQ(symbol->family, SymbolFamily::Micro);
        files.push_back(WritePng(*symbol, dir, "m" + std::to_string(files.size()) + ".png"));
        // zxing-cpp 1.4 names no version: the symbol's width in modules stands for it.
        const std::string report = Shell("ZXingReader -format MicroQRCode '" + files.back() + "' 2>&1");
        EXPECT_EQ(Field(report, "Bytes:"), c.data.empty() ? "" : Hex(c.data)) << report;
        EXPECT_EQ(ModulesSeen(report), 2 * c.expectedVersion + 9) << report;
        // M1 detects errors only; the reader names its level L, as the encoder does.
        EXPECT_EQ(Field(report, "EC Level:"), levelName[LevelIndex(c.level)]) << report;
    }
    if (!testsupport::ZxingWasmAvailable()) GTEST_SKIP() << "zxing-wasm is not installed (test.sh installs it)";
    const auto decoded = testsupport::ZxingWasmFiles(files);
    ASSERT_EQ(decoded.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const DecodeCase& c = kDecodeCases[i];
        SCOPED_TRACE(Hex(c.data));
        if (c.data.empty()) continue; // zxing-cpp 2.x reports no symbol without content
        ASSERT_EQ(decoded[i].size(), 1u);
        const testsupport::WasmSymbol& s = decoded[i][0];
        EXPECT_EQ(s.format, "MicroQRCode");
        EXPECT_EQ(s.bytesHex, LowerHex(c.data));
        EXPECT_EQ(s.version, "M" + std::to_string(c.expectedVersion));
        EXPECT_EQ(s.ecLevel, levelName[LevelIndex(c.level)]);
    }
}

// Characters each version and level holds in one segment (numeric, alphanumeric, byte,
// Kanji; 0 where the version lacks the mode), as ISO/IEC 18004 lists them.
struct CapacityCase {
    int32_t version;
    EcLevel level;
    int numeric, alphanumeric, bytes, kanji;
};
const CapacityCase kCapacities[] = {
    {1, EcLevel::L, 5, 0, 0, 0},    {2, EcLevel::L, 10, 6, 0, 0},  {2, EcLevel::M, 8, 5, 0, 0},
    {3, EcLevel::L, 23, 14, 9, 6},  {3, EcLevel::M, 18, 11, 7, 4}, {4, EcLevel::L, 35, 21, 15, 9},
    {4, EcLevel::M, 30, 18, 13, 8}, {4, EcLevel::Q, 21, 13, 9, 5},
};

TEST(MicroQR, HoldsTheListedCapacityAndNoMore)
{
    const std::string unit[] = {"7", "Z", "z", "\x88\x9f"};
    for (const CapacityCase& c : kCapacities) {
        const int most[] = {c.numeric, c.alphanumeric, c.bytes, c.kanji};
        for (int m = 0; m < 4; ++m) {
            SCOPED_TRACE("M" + std::to_string(c.version) + " level " + std::to_string(LevelIndex(c.level)) + " mode " +
                         std::to_string(m));
            std::string data;
            for (int i = 0; i < most[m]; ++i) data += unit[m];
            const MicroOptions request{c.version, c.level, MaskChoice::Automatic, m == 3};
            if (most[m] > 0) {
                EXPECT_TRUE(EncodeMicro(Bytes(data), request));
            }
            EXPECT_FALSE(EncodeMicro(Bytes(data + unit[m]), request));
        }
    }
}

struct RefusalCase {
    std::string data;
    MicroOptions options;
    MicroError error;
};
const RefusalCase kRefusals[] = {
    {"123", {1, EcLevel::M, MaskChoice::Automatic, false}, MicroError::NoSuchLevel}, // M1: detection only
    {"123", {3, EcLevel::Q, MaskChoice::Automatic, false}, MicroError::NoSuchLevel}, // Q only in M4
    {"123", {std::nullopt, EcLevel::H, MaskChoice::Automatic, false}, MicroError::NoSuchLevel},
    {"123", {5, EcLevel::L, MaskChoice::Automatic, false}, MicroError::NoSuchVersion},
    {"123", {0, EcLevel::L, MaskChoice::Automatic, false}, MicroError::NoSuchVersion},
    {"123", {1, EcLevel::L, MaskChoice::Pattern4, false}, MicroError::NoSuchMask},
    {"a", {1, EcLevel::L, MaskChoice::Automatic, false}, MicroError::DoesNotFit},  // M1 is numeric only
    {"ab", {2, EcLevel::L, MaskChoice::Automatic, false}, MicroError::DoesNotFit}, // M2 has no byte mode
    {std::string(36, '1'), {std::nullopt, EcLevel::L, MaskChoice::Automatic, false}, MicroError::InputTooLong},
};

TEST(MicroQR, RefusesWhatMicroQrLacks)
{
    for (const RefusalCase& c : kRefusals) {
        SCOPED_TRACE(c.data + " error " + std::to_string(static_cast<int>(c.error)));
        const auto symbol = EncodeMicro(Bytes(c.data), c.options);
        ASSERT_FALSE(symbol);
        EXPECT_EQ(symbol.error(), c.error);
    }
}

EcLevel LevelNamed(const std::string& name) { return name == "L" ? EcLevel::L : name == "M" ? EcLevel::M : EcLevel::Q; }

// segno where it pads as the standard does (and differs where it does not); zint in every case,
// with its mask forced and with the encoder's own evaluation, and with mixed segments at the
// version both choose.
TEST(MicroQR, EqualsSegnoAndZintModuleForModule)
{
    int status = -1;
    Shell("/usr/bin/python3 -c 'import segno' 2>/dev/null", &status);
    if (status != 0) GTEST_SKIP() << "Debian's python3-segno is not installed";
    const std::string table = Shell("/usr/bin/python3 '" MICRO_SEGNO_SCRIPT "'", &status);
    ASSERT_EQ(status, 0) << "the segno and zint script failed";
    std::istringstream lines(table);
    std::string peer, hex, version, level, mask, mode, padding, rows;
    int segnoEqual = 0, segnoPadding = 0, zintEqual = 0;
    while (lines >> peer >> hex >> version >> level >> mask >> mode >> padding >> rows) {
        SCOPED_TRACE(peer + " " + hex + " M" + version + "-" + level + " mask " + mask + " " + mode);
        std::string data;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            data += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        MicroOptions request{std::nullopt, LevelNamed(level), MaskChoice::Automatic, mode == "kanji"};
        if (version != "auto") request.version = std::stoi(version);
        if (mask != "auto") request.mask = *MaskPattern(std::stoi(mask));
        const auto symbol = EncodeMicro(Bytes(data), request);
        ASSERT_TRUE(symbol) << static_cast<int>(symbol.error());
        if (peer == "zint") {
            const auto chosen =
                EncodeMicro(Bytes(data), {request.version, request.level, MaskChoice::Automatic, request.kanji});
            ASSERT_TRUE(chosen);
            EXPECT_EQ(Rows(*symbol), rows);
            EXPECT_EQ(Rows(*chosen), rows);
            zintEqual += Rows(*symbol) == rows && Rows(*chosen) == rows;
        } else if (padding == "standard") {
            EXPECT_EQ(Rows(*symbol), rows);
            segnoEqual += Rows(*symbol) == rows;
        } else {
            EXPECT_NE(Rows(*symbol), rows) << "segno now pads as the standard does";
            ++segnoPadding;
        }
    }
    std::printf("Micro QR: %d symbols equal to segno's, %d where segno pads differently, %d equal to zint's "
                "(its mask and the encoder's choice)\n",
                segnoEqual, segnoPadding, zintEqual);
    EXPECT_EQ(segnoEqual + segnoPadding, 375);
    EXPECT_EQ(zintEqual, 89);
}

} // namespace
