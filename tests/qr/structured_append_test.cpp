// Structured-append sets read back by readers nobody here wrote (zxing-cpp 2.x and
// 1.4, zbar), and their size against qrencode's split of the same input.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "StructuredAppend.h"
#include "SymbolPicture.h"
#include "TestSupport.h"
#include "ZxingWasm.h"
#include "clsQRCode.h"

namespace {

using testsupport::Hex;
using testsupport::Shell;
using testsupport::TempDir;
constexpr int kScale = 4;

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

std::string Repeat(const std::string& pattern, size_t length)
{
    std::string s;
    while (s.size() < length) s += pattern;
    s.resize(length);
    return s;
}

const std::string kMixed = "Order 66: 12345678901234 ITEMS @ $9.99 each; total 12345\n";
const std::string kIds = "ID 98765432109876543210 name: abc; ";
const std::string kUtf8 = "二维码结构化追加 UTF-8 ";
const std::string kShiftJis = "x\x93\xfa\x96\x7b y\x8c\xea"; // Shift JIS Kanji among ASCII

struct SetCase {
    const char* name;
    std::string data;
    std::optional<int32_t> version; // none: the smallest that keeps the set at 16
    EcLevel level;
    bool kanji;
    int32_t eci;
    size_t symbols; // the set size the input was sized for
    const char* qrencodeFlags;
};

// Where two byte strings first differ, short enough for a failure message.
std::string Difference(const std::string& ours, const std::string& read)
{
    if (ours == read) return {};
    size_t at = 0;
    while (at < ours.size() && at < read.size() && ours[at] == read[at]) ++at;
    return "lengths " + std::to_string(ours.size()) + " and " + std::to_string(read.size()) + ", first difference at " +
           std::to_string(at) + ": " + Hex(ours.substr(at, 8)) + " / " + Hex(read.substr(at, 8));
}

std::string Unhex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        if (hex[i] == ' ') --i;
        else bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// One block of ZXingReader's report: a symbol, or the set it merged from them.
struct Block {
    std::string file;
    std::string bytes;
    int version = 0;
    std::string append; // "symbol i of n (parity/id: 'p')" or "merged result from n symbols (...)"
};

std::vector<Block> ZxingReader(const std::vector<std::string>& files)
{
    std::string command = "ZXingReader -format QRCode";
    for (const auto& f : files) command += " '" + f + "'";
    std::istringstream report(Shell(command + " 2>&1"));
    std::vector<Block> blocks;
    std::string line;
    auto after = [&](size_t at) {
        const size_t from = line.find_first_not_of(' ', at);
        return from == std::string::npos ? std::string() : line.substr(from);
    };
    while (std::getline(report, line)) {
        if (line.rfind("File:", 0) == 0) blocks.push_back({after(5), {}, 0, {}});
        if (blocks.empty()) continue;
        if (line.rfind("Bytes:", 0) == 0) blocks.back().bytes = Unhex(after(6));
        else if (line.rfind("Structured Append:", 0) == 0) blocks.back().append = after(18);
        else if (line.rfind("Position:", 0) == 0) {
            int x1, y1, x2, y2;
            if (std::sscanf(line.c_str(), "Position: %dx%d %dx%d", &x1, &y1, &x2, &y2) == 4)
                blocks.back().version = ((x2 - x1) / kScale - 17 + 1) / 4;
        }
    }
    return blocks;
}

QImage Scaled(const QRSymbol& symbol)
{
    const QImage picture = SymbolToPicture(symbol);
    return picture.scaled(picture.width() * kScale, picture.height() * kScale);
}

std::vector<std::string> WritePictures(const std::vector<QRSymbol>& set, const TempDir& dir)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < set.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "set-%02d.png", static_cast<int>(i + 1));
        files.push_back((dir.path() / name).string());
        if (!Scaled(set[i]).save(QString::fromStdString(files.back()))) ADD_FAILURE() << "could not write " << name;
    }
    return files;
}

// zbar joins a set only when it sees every symbol at once: the set as one picture, four a row.
std::string ZbarWholeSet(const std::vector<QRSymbol>& set, const TempDir& dir)
{
    const int side = Scaled(set.front()).width();
    const int rows = static_cast<int>(set.size() + 3) / 4;
    QImage sheet(4 * side, rows * side, QImage::Format_Grayscale8);
    sheet.fill(255);
    {
        QPainter painter(&sheet);
        for (size_t i = 0; i < set.size(); ++i)
            painter.drawImage(static_cast<int>(i % 4) * side, static_cast<int>(i / 4) * side, Scaled(set[i]));
    }
    const std::string file = (dir.path() / "sheet.png").string();
    if (!sheet.save(QString::fromStdString(file))) return "<unsaved>";
    std::string out = Shell("zbarimg --nodbus --raw -q -Sdisable -Sqrcode.enable -Sbinary '" + file + "' 2>/dev/null");
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// Offsets inside a character: within a Shift JIS double-byte character (Kanji mode,
// read from the start) or a UTF-8 sequence (ECI 26).
std::vector<size_t> InsideCharacters(const SetCase& c)
{
    std::vector<size_t> inside;
    for (size_t i = 0; i + 1 < c.data.size(); ++i) {
        const auto byte = static_cast<uint8_t>(c.data[i]);
        if (c.kanji && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEF))) inside.push_back(++i);
        else if (c.eci == 26 && (byte & 0xC0) == 0x80) inside.push_back(i);
    }
    return inside;
}

std::string LevelName(EcLevel level) { return std::string(1, "LMQH"[LevelIndex(level)]); }

// zxing-cpp 1.4 reads every symbol with its place in the set, then joins them.
void CheckZxing14(const SetCase& c, const std::vector<std::string>& files, int32_t version)
{
    const std::vector<Block> blocks = ZxingReader(files);
    ASSERT_EQ(blocks.size(), files.size() + 1) << "one block a symbol and the joined set";
    const std::string n = std::to_string(files.size());
    int xored = 0;
    for (unsigned char b : c.data) xored ^= b;
    const std::string parity = " (parity/id: '" + std::to_string(xored) + "')";
    size_t offset = 0;
    const std::vector<size_t> inside = InsideCharacters(c);
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        EXPECT_EQ(blocks[i].file, files[i]);
        EXPECT_EQ(blocks[i].version, version);
        EXPECT_EQ(blocks[i].append, "symbol " + std::to_string(i + 1) + " of " + n + parity);
        EXPECT_EQ(std::count(inside.begin(), inside.end(), offset), 0) << "a share starts inside a character";
        offset += blocks[i].bytes.size();
    }
    EXPECT_EQ(blocks.back().append, "merged result from " + n + " symbols" + parity);
    EXPECT_EQ(Difference(c.data, blocks.back().bytes), "");
}

// zxing-cpp 2.x: version, level and sequence of every symbol, and their bytes in order.
void CheckZxing2(const SetCase& c, const std::vector<std::string>& files, int32_t version)
{
    const auto reads = testsupport::ZxingWasmFiles(files);
    ASSERT_EQ(reads.size(), files.size());
    std::string joined;
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        ASSERT_EQ(reads[i].size(), 1u) << "zxing-cpp 2.x did not read it";
        const testsupport::WasmSymbol& s = reads[i][0];
        EXPECT_EQ(s.version, std::to_string(version));
        EXPECT_EQ(s.ecLevel, LevelName(c.level));
        EXPECT_EQ(s.sequenceIndex, static_cast<int>(i));
        EXPECT_EQ(s.sequenceSize, static_cast<int>(files.size()));
        joined += s.bytesHex;
    }
    std::string lower = Hex(c.data, "");
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return std::tolower(ch); });
    EXPECT_EQ(Difference(Unhex(lower), Unhex(joined)), "");
}

// Every share but the last is full: one more character would not fit the symbol.
void CheckSharesAreFull(clsQRCode& encoder, const SetCase& c, int32_t version)
{
    const auto ends = SplitForAppend(encoder, Bytes(c.data), version, c.level);
    ASSERT_TRUE(ends);
    const std::vector<size_t> inside = InsideCharacters(c);
    size_t start = 0;
    for (size_t i = 0; i + 1 < ends->size(); ++i) {
        size_t longer = (*ends)[i] + 1;
        while (std::count(inside.begin(), inside.end(), longer)) ++longer;
        const AppendHeader header{static_cast<int32_t>(i), static_cast<int32_t>(ends->size()), 0};
        const EncodeOptions options{version, c.level, MaskChoice::Pattern0};
        EXPECT_TRUE(encoder.Encode(Bytes(c.data).subspan(start, (*ends)[i] - start), options, header));
        const auto over = encoder.Encode(Bytes(c.data).subspan(start, longer - start), options, header);
        EXPECT_FALSE(over) << "share " << i << " could take " << longer - (*ends)[i] << " more bytes";
        start = (*ends)[i];
    }
}

// qrencode's set at the same version and level: how many files it writes.
size_t QrencodeCount(const SetCase& c, int32_t version, const TempDir& dir)
{
    const std::string input = dir.Write("input.bin", c.data);
    const std::string command = "qrencode -S -v " + std::to_string(version) + " -l " + LevelName(c.level) + " " +
                                c.qrencodeFlags + " -r '" + input + "' -o '" + (dir.path() / "q.png").string() + "'";
    int status = -1;
    Shell(command + " 2>&1", &status);
    if (status != 0) return 0;
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        count += entry.path().filename().string().rfind("q-", 0) == 0;
    return count;
}

TEST(StructuredAppend, SetsDecodeBackInEveryReader)
{
    const SetCase cases[] = {
        {"two at 2-M", Repeat(kMixed, 50), 2, EcLevel::M, false, -1, 2, ""},
        {"five at 5-Q", Repeat(kMixed, 300), 5, EcLevel::Q, false, -1, 5, ""},
        {"eight at 5-Q, digit runs", Repeat(kIds, 600), 5, EcLevel::Q, false, -1, 8, ""},
        {"five Kanji at 3-M", Repeat(kShiftJis, 180), 3, EcLevel::M, true, -1, 5, ""},
        {"sixteen at 3-L", Repeat(kMixed, 880), 3, EcLevel::L, false, -1, 16, ""},
        {"no version, UTF-8 with ECI", Repeat(kUtf8, 3000), std::nullopt, EcLevel::M, false, 26, 15, "-8"},
    };
    const bool wasm = testsupport::ZxingWasmAvailable();
    if (!wasm) std::printf("zxing-wasm is not installed: zxing-cpp 2.x is left out\n");
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.name);
        clsQRCode encoder;
        encoder.SetKanjiMode(c.kanji);
        encoder.SetEci(c.eci);
        AppendOptions options;
        options.version = c.version;
        options.level = c.level;
        const auto set = EncodeStructuredAppend(encoder, Bytes(c.data), options);
        ASSERT_TRUE(set) << DescribeAppendError(set.error());
        ASSERT_EQ(set->size(), c.symbols);
        const int32_t version = set->front().version;
        for (const QRSymbol& s : *set) EXPECT_TRUE(s.version == version && s.level == c.level);
        if (c.version) {
            EXPECT_EQ(version, *c.version);
        } else { // the smallest: one version less needs more than 16
            const auto smaller = SplitForAppend(encoder, Bytes(c.data), version - 1, c.level);
            ASSERT_FALSE(smaller);
            EXPECT_EQ(smaller.error(), AppendError::TooManySymbols);
        }
        CheckSharesAreFull(encoder, c, version);
        TempDir dir;
        const std::vector<std::string> files = WritePictures(*set, dir);
        CheckZxing14(c, files, version);
        if (wasm) CheckZxing2(c, files, version);
        EXPECT_EQ(Difference(c.data, ZbarWholeSet(*set, dir)), "") << "zbar";

        TempDir theirs;
        const size_t qrencode = QrencodeCount(c, version, theirs);
        std::printf("%-28s version %2d-%s: %2zu symbols, qrencode -S %2zu\n", c.name, version,
                    LevelName(c.level).c_str(), set->size(), qrencode);
        EXPECT_GE(qrencode, 1u) << "qrencode wrote no set";
        EXPECT_LE(set->size(), qrencode);
    }
}

TEST(StructuredAppend, ASetOfOneIsAPlainSymbol)
{
    // As qrencode: data one symbol holds gets no header, even when the header is what would not fit.
    const struct {
        std::string data;
        int32_t version;
        size_t sharesWithHeaders;
    } cases[] = {{"hello", 5, 1}, {std::string(17, 'k'), 1, 2}}; // 1-L: 17 bytes, 15 after the header
    clsQRCode encoder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        ASSERT_EQ(SplitForAppend(encoder, Bytes(c.data), c.version, EcLevel::L)->size(), c.sharesWithHeaders);
        AppendOptions options;
        options.version = c.version;
        options.level = EcLevel::L;
        const auto set = EncodeStructuredAppend(encoder, Bytes(c.data), options);
        ASSERT_TRUE(set);
        ASSERT_EQ(set->size(), 1u);
        const auto plain = encoder.Encode(Bytes(c.data), {c.version, EcLevel::L, MaskChoice::Automatic});
        ASSERT_TRUE(plain);
        EXPECT_EQ(set->front().modules, plain->modules);
    }
}

TEST(StructuredAppend, FailuresAreValues)
{
    struct Failure {
        const char* name;
        size_t length;
        std::optional<int32_t> version;
        AppendError error;
    };
    const Failure failures[] = {
        {"more than 16 symbols at 1-H", 2000, 1, AppendError::TooManySymbols},
        {"more than 16 symbols at 40", 16 * 2953 + 1, std::nullopt, AppendError::TooManySymbols},
        {"no version 41", 10, 41, AppendError::NoSuchVersion},
        {"no version 0", 10, 0, AppendError::NoSuchVersion},
        {"beyond any set", kMaxAppendBytes + 1, std::nullopt, AppendError::InputTooLong},
    };
    clsQRCode encoder;
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        AppendOptions options;
        options.version = f.version;
        options.level = f.version == 1 ? EcLevel::H : EcLevel::L;
        const auto set = EncodeStructuredAppend(encoder, Bytes(std::string(f.length, 'k')), options);
        ASSERT_FALSE(set);
        EXPECT_EQ(set.error(), f.error);
    }
}

} // namespace
