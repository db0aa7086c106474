// rMQR against code nobody here wrote: zxing-cpp 2.x reads every size and level back byte for byte, zint builds
// the same symbols module for module where both segment the data alike.
#include <gtest/gtest.h>
#include <zint.h>

#include <QImage>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RmqrEncoder.h"
#include "RmqrMatrix.h"
#include "RmqrTables.h"
#include "SymbolPicture.h"
#include "TestSupport.h"
#include "ZxingWasm.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr EcLevel kLevels[2] = {EcLevel::M, EcLevel::H};

std::string Text(const Bytes& b) { return {b.begin(), b.end()}; }
std::string LowerHex(const Bytes& b)
{
    std::string hex = testsupport::Hex(Text(b), "");
    for (auto& c : hex) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    return hex;
}
const char* LevelName(EcLevel level) { return level == EcLevel::H ? "H" : "M"; }

Result<QRSymbol, RmqrError> Encode(const Bytes& data, RmqrSizeChoice size, EcLevel level = EcLevel::M,
                                   bool kanji = false)
{
    RmqrOptions options;
    options.size = size;
    options.level = level;
    options.kanji = kanji;
    return EncodeRmqr(data, options);
}

// The longest prefix of `source` that the size holds at the level (whole Shift JIS pairs for Kanji).
Bytes Filling(const Bytes& source, int32_t index, EcLevel level, bool kanji = false)
{
    for (size_t n = source.size(); n > 0; n -= kanji && n > 1 ? 2 : 1) {
        Bytes data(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(n));
        if (Encode(data, RmqrSizeChoice::Named(index), level, kanji)) return data;
    }
    return {};
}

Bytes RandomBytes(std::mt19937& rng, size_t n, uint8_t low)
{
    Bytes b(n);
    for (auto& c : b) c = static_cast<uint8_t>(low + rng() % (256u - low));
    return b;
}

Bytes Digits(std::mt19937& rng, size_t n)
{
    Bytes b(n);
    for (auto& c : b) c = static_cast<uint8_t>('0' + rng() % 10);
    return b;
}

// The product's picture (its quiet zone included), 4 pixels a module for the reader.
QImage Picture(const QRSymbol& s)
{
    const QImage picture = SymbolToPicture(s);
    return picture.scaled(picture.width() * 4, picture.height() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// zint's symbol for the same data, size (none: zint's automatic choice) and level, as rows of '0'/'1'; empty when
// zint refuses.
std::vector<std::string> Zint(const Bytes& data, std::optional<int32_t> index, EcLevel level)
{
    std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> z(ZBarcode_Create(), ZBarcode_Delete);
    z->symbology = BARCODE_RMQR;
    z->option_1 = level == EcLevel::H ? 4 : 2;
    z->option_2 = index ? *index + 1 : 0;
    z->input_mode = DATA_MODE;
    if (ZBarcode_Encode(z.get(), data.data(), static_cast<int>(data.size())) >= ZINT_ERROR) return {};
    std::vector<std::string> rows(static_cast<size_t>(z->rows));
    for (int y = 0; y < z->rows; ++y)
        for (int x = 0; x < z->width; ++x)
            rows[static_cast<size_t>(y)] += (z->encoded_data[y][x >> 3] >> (x & 7)) & 1 ? '1' : '0';
    return rows;
}

std::vector<std::string> Rows(const QRSymbol& s)
{
    std::vector<std::string> rows(static_cast<size_t>(s.height));
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) rows[static_cast<size_t>(y)] += s.Dark(x, y) ? '1' : '0';
    return rows;
}

} // namespace

// The drawn function patterns leave exactly the modules the tables count: codewords and remainder bits.
TEST(Rmqr, EverySizeLeavesRoomForItsCodewordsAndNothingElse)
{
    for (int32_t index = 0; index < kRmqrSizes; ++index) {
        const RmqrSize& s = RmqrSizeAt(index);
        const FunctionMap map = RmqrFunctionMap(index, EcLevel::M);
        int32_t free = 0;
        for (const QRBits& row : map.FreeRows()) free += row.Count();
        EXPECT_EQ(free, 8 * s.totalCodewords + s.remainderBits) << RmqrSizeName(index);
    }
}

TEST(Rmqr, EverySizeAndLevelDecodesInZxingWithItsSizeAndLevel)
{
    if (!testsupport::ZxingWasmAvailable()) GTEST_SKIP() << "zxing-wasm is not installed (test.sh installs it)";
    std::mt19937 rng(23941);
    Bytes kanji;
    for (int i = 0; i < 60; ++i) kanji.insert(kanji.end(), {0x93, 0x5F, 0xE4, 0xAA}); // 点茗 in Shift JIS
    const Bytes mixed = [] {
        const std::string t = "Order 4711-0815/2024: 12 boxes A4 KRAFT, 0123456789012345678901234567890 ship to "
                              "Hamburg https://example.com/track?id=998877665544332211 END 31415926535897932384626";
        return Bytes(t.begin(), t.end());
    }();
    testsupport::TempDir dir;
    std::vector<std::string> files;
    struct Case {
        std::string size, level;
        Bytes data;
    };
    std::vector<Case> cases;
    for (int32_t index = 0; index < kRmqrSizes; ++index)
        for (const EcLevel level : kLevels)
            for (const auto& [source, isKanji] :
                 {std::pair{RandomBytes(rng, 400, 0), false}, {mixed, false}, {kanji, true}}) {
                Case c{RmqrSizeName(index), LevelName(level), Filling(source, index, level, isKanji)};
                ASSERT_FALSE(c.data.empty()) << c.size << "-" << c.level;
                const auto symbol = Encode(c.data, RmqrSizeChoice::Named(index), level, isKanji);
                ASSERT_TRUE(symbol);
                const std::string path = (dir.path() / (std::to_string(files.size()) + ".png")).string();
                ASSERT_TRUE(Picture(*symbol).save(QString::fromStdString(path)));
                files.push_back(path);
                cases.push_back(std::move(c));
            }
    const auto decoded = testsupport::ZxingWasmFiles(files);
    ASSERT_EQ(decoded.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ASSERT_EQ(decoded[i].size(), 1u) << c.size << "-" << c.level << " " << testsupport::Hex(Text(c.data));
        const auto& got = decoded[i].front();
        EXPECT_EQ(got.format, "RMQRCode");
        EXPECT_EQ(got.version, c.size);
        EXPECT_EQ(got.ecLevel, c.level) << c.size;
        EXPECT_EQ(got.bytesHex, LowerHex(c.data)) << c.size << "-" << c.level;
    }
    std::printf("zxing-cpp read %zu rMQR symbols: 32 sizes x 2 levels x 3 inputs (bytes, mixed, Kanji)\n",
                cases.size());
}

// Byte-only data (no byte a digit or alphanumeric) and digit-only data leave neither encoder a choice of modes.
TEST(Rmqr, EqualsZintModuleForModuleWhereBothSegmentAlike)
{
    std::mt19937 rng(18004);
    int compared = 0;
    for (int32_t index = 0; index < kRmqrSizes; ++index)
        for (const EcLevel level : kLevels) {
            const Bytes bytes = Filling(RandomBytes(rng, 200, 0x80), index, level);
            const Bytes digits = Filling(Digits(rng, 400), index, level);
            const Bytes inputs[] = {
                Bytes(bytes.begin(), bytes.begin() + 1), bytes,
                Bytes(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(digits.size() / 2)), digits};
            for (const Bytes& data : inputs) {
                const auto ours = Encode(data, RmqrSizeChoice::Named(index), level);
                ASSERT_TRUE(ours);
                const auto theirs = Zint(data, index, level);
                ASSERT_FALSE(theirs.empty()) << "zint refused " << RmqrSizeName(index) << "-" << LevelName(level);
                EXPECT_EQ(Rows(*ours), theirs)
                    << RmqrSizeName(index) << "-" << LevelName(level) << " " << testsupport::Hex(Text(data));
                ++compared;
            }
        }
    // The automatic choice too: zint also takes the smallest area, on equal area the shorter height.
    for (const EcLevel level : kLevels)
        for (const size_t n : {1, 5, 12, 30, 60, 100, 140})
            for (const Bytes& data : {RandomBytes(rng, n, 0x80), Digits(rng, 2 * n)}) {
                const auto ours = Encode(data, RmqrSizeChoice::Automatic(), level);
                const auto theirs = Zint(data, std::nullopt, level);
                ASSERT_EQ(bool(ours), !theirs.empty()) << data.size() << " bytes at " << LevelName(level);
                if (ours) {
                    EXPECT_EQ(Rows(*ours), theirs) << RmqrSizeName(ours->version - 1);
                }
                ++compared;
            }
    std::printf("compared %d rMQR symbols with zint module for module\n", compared);
}

// Kanji mode (Shift JIS pairs, only when asked for) against zint's, which takes the same characters as UTF-8.
TEST(Rmqr, KanjiEqualsZintAndIsOnlyUsedWhenAskedFor)
{
    const Bytes pair = {0x93, 0x5F, 0xE4, 0xAA};             // 点茗 in Shift JIS
    const std::string utf8Pair = "\xE7\x82\xB9\xE8\x8C\x97"; // the same in UTF-8
    int compared = 0;
    for (const int repeat : {1, 4, 9}) {
        Bytes sjis;
        std::string utf8;
        for (int i = 0; i < repeat; ++i) {
            sjis.insert(sjis.end(), pair.begin(), pair.end());
            utf8 += utf8Pair;
        }
        RmqrOptions options;
        options.kanji = true;
        const auto kanji = EncodeRmqr(sjis, options);
        ASSERT_TRUE(kanji);
        const auto bytes = Encode(sjis, RmqrSizeChoice::Automatic());
        ASSERT_TRUE(bytes);
        // 13 bits a character against 16: Kanji never needs the larger symbol.
        EXPECT_LE(kanji->width * kanji->height, bytes->width * bytes->height);
        // Not asked for, the same bytes stay bytes, as zint keeps binary data.
        EXPECT_EQ(Rows(*bytes), Zint(sjis, bytes->version - 1, EcLevel::M));

        std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> z(ZBarcode_Create(), ZBarcode_Delete);
        z->symbology = BARCODE_RMQR;
        z->option_1 = 2;
        z->option_2 = kanji->version;
        z->input_mode = UNICODE_MODE;
        ASSERT_LT(ZBarcode_Encode(z.get(), reinterpret_cast<const unsigned char*>(utf8.data()),
                                  static_cast<int>(utf8.size())),
                  ZINT_ERROR);
        std::vector<std::string> theirs(static_cast<size_t>(z->rows));
        for (int y = 0; y < z->rows; ++y)
            for (int x = 0; x < z->width; ++x)
                theirs[static_cast<size_t>(y)] += (z->encoded_data[y][x >> 3] >> (x & 7)) & 1 ? '1' : '0';
        EXPECT_EQ(Rows(*kanji), theirs) << repeat << " pairs";
        ++compared;
    }
    std::printf("compared %d Kanji rMQR symbols with zint module for module\n", compared);
}

// The automatic choice against the named sizes: nothing smaller (by area, then height) within the height limit
// holds the data, and the chosen one does.
TEST(Rmqr, AutomaticChoiceIsTheSmallestAreaThatHoldsTheData)
{
    std::mt19937 rng(7);
    std::vector<Bytes> inputs = {{}, Digits(rng, 5), Digits(rng, 60), Digits(rng, 361)};
    for (const size_t n : {1, 9, 20, 33, 70, 150}) inputs.push_back(RandomBytes(rng, n, 0));
    for (const std::string t : {"HELLO WORLD", "https://example.com/a?b=1", "Tel 0123456789 ABC"})
        inputs.emplace_back(t.begin(), t.end());
    int checked = 0;
    for (const Bytes& data : inputs)
        for (const EcLevel level : kLevels)
            for (int32_t rows = 7; rows <= 17; rows += 2) {
                const auto chosen = Encode(data, RmqrSizeChoice::AtMostRows(rows), level);
                int32_t area = 1 << 30, height = 99;
                if (chosen) {
                    EXPECT_LE(chosen->height, rows);
                    EXPECT_TRUE(Encode(data, RmqrSizeChoice::Named(chosen->version - 1), level));
                    area = chosen->width * chosen->height;
                    height = chosen->height;
                } else {
                    EXPECT_EQ(chosen.error(), RmqrError::DoesNotFit);
                }
                for (int32_t index = 0; index < kRmqrSizes; ++index) {
                    const RmqrSize& s = RmqrSizeAt(index);
                    const bool smaller = s.width * s.height < area || (s.width * s.height == area && s.height < height);
                    if (s.height > rows || !smaller) continue;
                    EXPECT_FALSE(Encode(data, RmqrSizeChoice::Named(index), level))
                        << RmqrSizeName(index) << " holds " << data.size() << " bytes at " << LevelName(level);
                    ++checked;
                }
            }
    EXPECT_GT(checked, 1000);
}

TEST(Rmqr, RefusesWhatNoSizeOrLevelCanMake)
{
    std::mt19937 rng(1);
    const Bytes most = Digits(rng, kRmqrMaxInputBytes);
    Bytes tooMany = most;
    tooMany.push_back('1');
    const struct {
        const char* what;
        Bytes data;
        RmqrSizeChoice size;
        EcLevel level;
        std::optional<RmqrError> error;
    } cases[] = {
        {"level L", {'1'}, RmqrSizeChoice::Automatic(), EcLevel::L, RmqrError::LevelNotAvailable},
        {"level Q", {'1'}, RmqrSizeChoice::Automatic(), EcLevel::Q, RmqrError::LevelNotAvailable},
        {"size 33", {'1'}, RmqrSizeChoice::Named(32), EcLevel::M, RmqrError::NoSuchSize},
        {"size -1", {'1'}, RmqrSizeChoice::Named(-1), EcLevel::M, RmqrError::NoSuchSize},
        {"6 rows", {'1'}, RmqrSizeChoice::AtMostRows(6), EcLevel::M, RmqrError::NoSuchSize},
        {"the most digits at M", most, RmqrSizeChoice::Automatic(), EcLevel::M, std::nullopt},
        {"the most digits at H", most, RmqrSizeChoice::Automatic(), EcLevel::H, RmqrError::DoesNotFit},
        {"one digit more", tooMany, RmqrSizeChoice::Automatic(), EcLevel::M, RmqrError::InputTooLong},
        {"6 bytes in R7x43", RandomBytes(rng, 6, 0x80), RmqrSizeChoice::Named(0), EcLevel::M, RmqrError::DoesNotFit},
        {"5 bytes in R7x43", RandomBytes(rng, 5, 0x80), RmqrSizeChoice::Named(0), EcLevel::M, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto result = Encode(c.data, c.size, c.level);
        if (c.error) {
            ASSERT_FALSE(result) << c.what;
            EXPECT_EQ(result.error(), *c.error) << c.what;
        } else {
            EXPECT_TRUE(result) << c.what;
        }
    }
    EXPECT_EQ(RmqrSizeByName("R11x43"), 11);
    EXPECT_EQ(RmqrSizeByName("R17x139"), 31);
    EXPECT_EQ(RmqrSizeByName("R11x44"), std::nullopt);
    EXPECT_EQ(RmqrSizeByName("R7x27"), std::nullopt);
}
