// The encoder against code nobody here wrote: qrcodegen builds the same
// symbols module for module, zbar and ZXing read ours back byte for byte.
#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <qrcodegen/qrcodegen.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "Readers.h"
#include "SymbolPicture.h"
#include "TestSupport.h"
#include "clsQRCode.h"

namespace {

using testsupport::Hex;
using testsupport::Shell;
using testsupport::TempDir;
constexpr int kScale = 4;

std::optional<QRSymbol> Encode(clsQRCode& q, const std::string& s, int version, int level, int mask)
{
    return q.EncodeSymbol(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()), version, level, mask);
}

// The longest prefix of the endless pattern that still fits the version.
std::string Fill(clsQRCode& q, const std::string& pattern, int version, int level)
{
    auto make = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += pattern[static_cast<size_t>(i) % pattern.size()];
        return s;
    };
    int lo = 0, hi = 7100;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (Encode(q, make(mid), version, level, 0)) lo = mid;
        else hi = mid - 1;
    }
    return make(lo);
}

qrcodegen::QrCode::Ecc Ecc(int level)
{
    using E = qrcodegen::QrCode::Ecc;
    return level == EcL ? E::LOW : level == EcM ? E::MEDIUM : level == EcQ ? E::QUARTILE : E::HIGH;
}

TEST(Oracle, DataCapacityMatchesQrcodegen)
{
    // The longest lower-case text that fits each version and level, by both encoders.
    clsQRCode q;
    for (int v = 1; v <= 40; ++v)
        for (int level = 1; level <= 4; ++level) {
            const std::string ours = Fill(q, "k", v, level);
            const std::vector<uint8_t> fits(ours.begin(), ours.end());
            std::vector<uint8_t> over = fits;
            over.push_back('k');
            EXPECT_NO_THROW(
                qrcodegen::QrCode::encodeSegments({qrcodegen::QrSegment::makeBytes(fits)}, Ecc(level), v, v, 0, false))
                << v << " " << level;
            EXPECT_THROW(
                qrcodegen::QrCode::encodeSegments({qrcodegen::QrSegment::makeBytes(over)}, Ecc(level), v, v, 0, false),
                qrcodegen::data_too_long)
                << v << " " << level;
        }
}

TEST(Oracle, ByteSegmentSymbolsEqualQrcodegenModuleForModule)
{
    clsQRCode q;
    for (int v = 1; v <= 40; ++v)
        for (int level = 1; level <= 4; ++level) {
            const std::string data = Fill(q, "the quick brown fox jumps over the lazy dog ", v, level);
            const std::vector<uint8_t> bytes(data.begin(), data.end());
            for (int mask = 0; mask < 8; ++mask) {
                const auto ours = Encode(q, data, v, level, mask);
                ASSERT_TRUE(ours);
                const auto theirs = qrcodegen::QrCode::encodeSegments({qrcodegen::QrSegment::makeBytes(bytes)},
                                                                      Ecc(level), v, v, mask, false);
                ASSERT_EQ(theirs.getSize(), ours->size);
                int differ = 0;
                for (int y = 0; y < ours->size; ++y)
                    for (int x = 0; x < ours->size; ++x) differ += theirs.getModule(x, y) != ours->Dark(x, y);
                ASSERT_EQ(differ, 0) << "version " << v << " level " << level << " mask " << mask;
            }
        }
}

TEST(Oracle, AutomaticMaskFollowsTheStandardsPenaltyRules)
{
    // qrcodegen scores the four penalty rules of the standard; for byte-mode data the
    // mask it picks is the one we pick.
    clsQRCode q;
    q.SetAutoMask(true);
    uint32_t seed = 7;
    int compared = 0;
    for (int i = 0; i < 240; ++i) {
        std::string data;
        const int len = 1 + static_cast<int>(seed % 300);
        for (int j = 0; j < len; ++j) {
            seed = seed * 1664525u + 1013904223u;
            data += static_cast<char>('a' + (seed >> 24) % 26);
        }
        const int level = 1 + i % 4;
        const auto ours = Encode(q, data, 0, level, 0);
        ASSERT_TRUE(ours);
        const std::vector<uint8_t> bytes(data.begin(), data.end());
        const auto theirs = qrcodegen::QrCode::encodeSegments({qrcodegen::QrSegment::makeBytes(bytes)}, Ecc(level),
                                                              ours->version, ours->version, -1, false);
        EXPECT_EQ(ours->mask, theirs.getMask()) << data;
        ++compared;
    }
    EXPECT_GE(compared, 200);
}

struct Written {
    std::string file;
    std::string data;
    int version;
};

// Round trips through zbarimg and ZXingReader: same bytes, same version.
void ReadBack(const std::vector<Written>& symbols)
{
    std::string files;
    for (const Written& w : symbols) files += " '" + w.file + "'";
    // ZXingReader reads all files in one run; its report gives the bytes and the corners.
    std::istringstream report(Shell("ZXingReader -format QRCode" + files + " 2>&1"));
    std::map<std::string, std::pair<std::string, int>> zxing;
    std::string line, current;
    while (std::getline(report, line)) {
        if (line.rfind("File:", 0) == 0) current = line.substr(line.find('/'));
        else if (line.rfind("Bytes:", 0) == 0) {
            const size_t at = line.find_first_not_of(' ', 6);
            zxing[current].first = at == std::string::npos ? "" : line.substr(at);
        } else if (line.rfind("Position:", 0) == 0) {
            int x1, y1, x2, y2;
            if (std::sscanf(line.c_str(), "Position: %dx%d %dx%d", &x1, &y1, &x2, &y2) == 4)
                zxing[current].second = ((x2 - x1) / kScale - 17 + 1) / 4;
        }
    }
    for (const Written& w : symbols) {
        SCOPED_TRACE(w.file);
        ASSERT_TRUE(zxing.count(w.file)) << "ZXing did not read it";
        EXPECT_EQ(zxing[w.file].first, Hex(w.data));
        EXPECT_EQ(zxing[w.file].second, w.version);
        const std::string zbar =
            Shell("zbarimg --nodbus --raw -q -Sdisable -Sqrcode.enable -Sbinary '" + w.file + "' 2>/dev/null");
        EXPECT_TRUE(zbar == w.data || zbar == w.data + "\n")
            << "zbar read " << zbar.size() << " bytes for " << w.data.size() << ": " << Hex(zbar).substr(0, 60);
    }
}

TEST(Oracle, ReadersDecodeEveryVersionLevelAndMask)
{
    TempDir dir;
    clsQRCode q;
    const std::string kinds[] = {"0123456789", "HTTP://QR.EXAMPLE/ABC-123 $%*+./:", "binary\x01\xFE\xFF\n\r\t",
                                 "Order 66: 12345678901234 ITEMS @ $9.99 each; total 12345"};
    std::vector<Written> symbols;
    int counter = 0;
    for (int v = 1; v <= 40; ++v)
        for (int level = 1; level <= 4; ++level)
            for (int k = 0; k < 4; ++k) {
                const int mask = (v + level + k) % 8;
                const std::string data = Fill(q, kinds[k], v, level);
                const auto s = Encode(q, data, 0, level, mask);
                ASSERT_TRUE(s);
                ASSERT_EQ(s->version, v) << "a version-filling stream picks that version";
                const std::string file = (dir.path() / ("s" + std::to_string(counter++) + ".png")).string();
                QImage picture = SymbolToPicture(*s);
                picture = picture.scaled(picture.width() * kScale, picture.height() * kScale, Qt::IgnoreAspectRatio,
                                         Qt::FastTransformation);
                ASSERT_TRUE(picture.save(QString::fromStdString(file)));
                symbols.push_back({file, data, v});
            }
    // UTF-8 Chinese text and the empty input at the window's settings.
    const std::string extra[] = {"二维码生成器：中文内容 UTF-8 测试", ""};
    for (const std::string& data : extra) {
        const auto s = Encode(q, data, 0, EcQ, 0);
        ASSERT_TRUE(s);
        const std::string file = (dir.path() / ("s" + std::to_string(counter++) + ".png")).string();
        QImage picture = SymbolToPicture(*s).scaled((s->size + 8) * kScale, (s->size + 8) * kScale);
        ASSERT_TRUE(picture.save(QString::fromStdString(file)));
        if (!data.empty()) symbols.push_back({file, data, s->version});
        else {
            // zbar does not report an empty symbol; ZXing reads it as no bytes.
            const std::string out = Shell("ZXingReader '" + file + "' 2>&1");
            EXPECT_NE(out.find("Format:     QRCode"), std::string::npos) << out;
        }
    }
    ReadBack(symbols);
}

TEST(Oracle, AutomaticMaskSymbolsDecode)
{
    TempDir dir;
    clsQRCode q;
    q.SetAutoMask(true);
    std::vector<Written> symbols;
    const std::string samples[] = {"abc", "https://example.com/path?query=1", std::string(1663, 'k'),
                                   std::string(2000, '7'), "混合 Mixed 123 内容"};
    int counter = 0;
    for (const std::string& data : samples) {
        const auto s = Encode(q, data, 0, EcQ, 0);
        ASSERT_TRUE(s);
        const std::string file = (dir.path() / ("m" + std::to_string(counter++) + ".png")).string();
        ASSERT_TRUE(SymbolToPicture(*s)
                        .scaled((s->size + 8) * kScale, (s->size + 8) * kScale)
                        .save(QString::fromStdString(file)));
        symbols.push_back({file, data, s->version});
    }
    ReadBack(symbols);
}

} // namespace
