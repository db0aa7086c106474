// qrgen as a qrencode user types it: every output format read back by two
// decoders nobody here wrote, the options' effect on the file, refusals, whole
// files, and the batch mode.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QImage>
#include <QProcess>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <regex>

#include "Readers.h"
#include "TestServers.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ZxingBytes(const fs::path& picture)
{
    return Shell("ZXingReader -bytes " + Quote(picture) + " 2>/dev/null");
}

std::string ZxingReport(const fs::path& picture) { return Shell("ZXingReader " + Quote(picture) + " 2>/dev/null"); }

// A terminal drawing as a picture, 4 pixels a module: `cells` gives each
// character's (top, bottom) darkness, or for ASCII one module a two-character cell.
QImage DrawingToImage(const std::vector<std::vector<std::pair<bool, bool>>>& rows, bool halfBlocks)
{
    const int width = static_cast<int>(rows.empty() ? 0 : rows[0].size());
    const int height = static_cast<int>(rows.size()) * (halfBlocks ? 2 : 1);
    QImage image(width * 4, height * 4, QImage::Format_Grayscale8);
    image.fill(255);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < static_cast<int>(rows[static_cast<size_t>(r)].size()) && c < width; ++c) {
            const auto [top, bottom] = rows[static_cast<size_t>(r)][static_cast<size_t>(c)];
            for (int half = 0; half < (halfBlocks ? 2 : 1); ++half)
                if (half == 0 ? top : bottom)
                    for (int y = 0; y < 4; ++y)
                        for (int x = 0; x < 4; ++x)
                            image.setPixel(c * 4 + x, ((halfBlocks ? 2 * r : r) + half) * 4 + y, qRgb(0, 0, 0));
        }
    return image;
}

// UTF8: light modules are drawn (ink on a dark terminal), dark ones are blank.
QImage FromUtf8Drawing(const std::string& text)
{
    std::vector<std::vector<std::pair<bool, bool>>> rows(1);
    const std::u32string cells = QString::fromStdString(text).toStdU32String();
    for (char32_t c : cells) {
        if (c == U'\n') {
            rows.emplace_back();
            continue;
        }
        const bool topLight = c == U'\u2580' || c == U'\u2588', bottomLight = c == U'\u2584' || c == U'\u2588';
        rows.back().emplace_back(!topLight, !bottomLight);
    }
    if (rows.back().empty()) rows.pop_back();
    return DrawingToImage(rows, true);
}

// ANSI: each upper half block in explicit colours, top = foreground, bottom = background.
QImage FromAnsiDrawing(const std::string& text)
{
    std::vector<std::vector<std::pair<bool, bool>>> rows(1);
    const std::regex cell("\x1b\\[(\\d+);(\\d+)m\u2580|\x1b\\[0m|\n");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), cell); it != std::sregex_iterator(); ++it) {
        if ((*it)[0] == "\n") rows.emplace_back();
        else if ((*it)[1].matched) rows.back().emplace_back((*it)[1] == "30", (*it)[2] == "40");
    }
    if (rows.back().empty()) rows.pop_back();
    return DrawingToImage(rows, true);
}

QImage FromAsciiDrawing(const std::string& text)
{
    std::vector<std::vector<std::pair<bool, bool>>> rows(1);
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\n') {
            rows.emplace_back();
            ++i;
            continue;
        }
        rows.back().emplace_back(text[i] == '#', false);
        i += 2;
    }
    if (rows.back().empty()) rows.pop_back();
    return DrawingToImage(rows, false);
}

// A picture file both decoders read, made from whatever qrgen wrote.
fs::path Readable(const fs::path& written, const std::string& type, const fs::path& dir)
{
    const fs::path png = dir / (type + "-readable.png");
    if (type == "svg") Shell("rsvg-convert -o " + Quote(png) + " " + Quote(written));
    else if (type == "eps")
        Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r144 -sDEVICE=pnggray -sOutputFile=" + Quote(png) + " " +
              Quote(written));
    else if (type == "bmp") QImage(QString::fromStdString(written.string())).save(QString::fromStdString(png.string()));
    else if (type == "utf8") FromUtf8Drawing(ReadFile(written)).save(QString::fromStdString(png.string()));
    else if (type == "ansi") FromAnsiDrawing(ReadFile(written)).save(QString::fromStdString(png.string()));
    else if (type == "ascii") FromAsciiDrawing(ReadFile(written)).save(QString::fromStdString(png.string()));
    else return written;
    return png;
}

TEST(QrgenCli, EveryFormatReadsBackWithBothDecoders)
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

TEST(QrgenCli, OptionsShapeTheSymbolAndTheFile)
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
TEST(QrgenCli, EciHeaderTellsReadersTheCharacterSet)
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

TEST(QrgenCli, FilesAsSmallAsQrencodes)
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

TEST(QrgenCli, TextFromTheArgumentsOrStandardInput)
{
    TempDir dir;
    const fs::path out = dir.path() / "x.png";
    struct Case {
        std::string command;
        std::string text;
    } cases[] = {
        {kQrgen + " -o " + Quote(out) + " hello", "hello"},
        {"printf 'from standard input' | " + kQrgen + " -o " + Quote(out), "from standard input"},
        {"printf 'piped' | " + kQrgen + " encode -o " + Quote(out), "piped"},
        {kQrgen + " encode -o " + Quote(out) + " -- -dash", "-dash"},
        {kQrgen + " -o " + Quote(out) + " -- -8", "-8"},
    };
    for (const Case& c : cases) {
        int status = -1;
        Shell(c.command, &status);
        EXPECT_EQ(status, 0) << c.command;
        EXPECT_EQ(ZbarFile(QString::fromStdString(out.string())), c.text) << c.command;
    }
    int status = -1;
    EXPECT_EQ(Shell(kQrgen + " -V", &status), "qrgen " QRGEN_VERSION "\n");
    EXPECT_EQ(status, 0);
    // Help says which fields a kind cannot do without and what --security takes.
    const std::pair<const char*, std::vector<const char*>> helps[] = {
        {"-h", {"Usage:"}},
        {"encode --help", {"Usage:"}},
        {"card -h",
         {"Usage:", "--name TEXT +name \\(required\\)", "--tel TEXT +tel \\(required\\)", "--qq TEXT +qq\n"}},
        {"batch -h", {"Usage:", "--sync", "-j,--jobs"}},
        {"wifi --help",
         {"Usage:", "--ssid TEXT +ssid \\(required\\)",
          "--password TEXT +password \\(required unless --security none\\)",
          "--security WPA\\|WEP\\|none +WPA \\(the default\\), WEP or none"}},
        {"sms -h", {"--phone TEXT +phone \\(required\\)", "--body TEXT +body \\(required\\)"}},
    };
    for (const auto& [help, says] : helps) {
        const std::string text = Shell(kQrgen + " " + help, &status);
        EXPECT_EQ(status, 0) << help;
        for (const char* pattern : says)
            EXPECT_TRUE(std::regex_search(text, std::regex(pattern))) << pattern << "\n" << text;
    }
    // A usage error: one line saying what is wrong, then the usage.
    const std::pair<const char*, const char*> usageErrors[] = {
        {"--size 0 hello", "qrgen: --size"},
        {"-s 1.5 hello", "qrgen: -s: 1.5 is not a whole number\n"},
        {"-8", "qrgen: unknown option -8 (text that starts with '-' goes after --, as in qrgen -- -8)\n"},
    };
    for (const auto& [args, first] : usageErrors) {
        const std::string usage = Shell(kQrgen + " " + args + " 2>&1 >/dev/null </dev/null", &status);
        EXPECT_EQ(status, 2) << args;
        EXPECT_EQ(usage.rfind(first, 0), 0u) << usage;
        EXPECT_EQ(usage.find('\n'), usage.find("\nusage: qrgen")) << usage;
        EXPECT_NE(usage.find("qrgen batch [--kind KIND] [--csv] [--name-column COLUMN] [--force] [--sync] [-j N] -O"),
                  std::string::npos)
            << usage;
    }
}

// Anything over the most a symbol holds is refused from its size, without reading it;
// nothing at all, or a file that cannot be read, is refused too, and none leaves a file.
TEST(QrgenCli, RefusesInputItCannotUse)
{
    TempDir dir;
    const fs::path huge = dir.path() / "huge";
    const fs::path out = dir.path() / "e.png";
    int status = -1;
    Shell("truncate -s 300M " + Quote(huge), &status);
    ASSERT_EQ(status, 0);
    const std::string tooLong = "qrgen: the data does not fit version 40 at level Q\n";
    const std::string empty = "qrgen: no input data\n";
    const std::pair<std::string, std::string> cases[] = {
        {kQrgen + " encode --file " + Quote(huge), tooLong},
        {kQrgen + " -o " + Quote(out) + " < " + Quote(huge), tooLong},
        {"cat " + Quote(huge) + " | " + kQrgen + " -o " + Quote(out), tooLong},
        {kQrgen + " " + std::string(7090, '7'), tooLong},
        {kQrgen + " text --text " + std::string(7090, '7'), tooLong},
        {"printf '' | " + kQrgen + " -o " + Quote(out), empty},
        {kQrgen + " -o " + Quote(out) + " ''", empty},
        {kQrgen + " encode -o " + Quote(out) + " --hex ''", empty},
        {kQrgen + " encode -o " + Quote(out) + " --file /dev/null", empty},
        {kQrgen + " encode -o " + Quote(out) + " --file " + Quote(dir.path() / "nosuch"),
         "qrgen: cannot read " + (dir.path() / "nosuch").string() + ": No such file or directory\n"},
        {kQrgen + " encode -o " + Quote(out) + " --file " + Quote(dir.path()),
         "qrgen: cannot read " + dir.path().string() + ": Is a directory\n"},
        {kQrgen + " batch -O " + Quote(out) + " " + Quote(dir.path() / "nosuch"),
         "qrgen: cannot read " + (dir.path() / "nosuch").string() + ": No such file or directory\n"},
        // A payload that cannot be printed is a failure too (the shell opens the device, qrgen only writes).
        {"{ " + kQrgen + " wifi --ssid a --password b --payload >/dev/full; }",
         "qrgen: cannot write standard output\n"},
    };
    for (const auto& [command, refusal] : cases) {
        EXPECT_EQ(Shell(command + " 2>&1 >/dev/null", &status), refusal) << command.substr(0, 80);
        EXPECT_EQ(status, 1) << command.substr(0, 80);
        EXPECT_FALSE(fs::exists(out)) << command.substr(0, 80);
    }
    // The most digits any symbol holds still fit.
    Shell(kQrgen + " -l L -o " + Quote(out) + " " + std::string(7089, '7'), &status);
    EXPECT_EQ(status, 0);
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(QrgenCli, OutputIsWholeOrTheOldFileStays)
{
    TempDir dir;
    const fs::path folder = dir.path();
    const fs::path keep = folder / "keep.png";
    std::ofstream(keep) << "previous";
    fs::create_directory(folder / "taken.png");
    struct Case {
        std::string command;
        std::string why;
    } cases[] = {
        // A file size limit of 1 KiB: the write fails part-way, as on a full disk.
        {"ulimit -f 1; " + kQrgen + " -v 40 -s 10 -o " + Quote(keep) + " hello", "File too large"},
        {kQrgen + " -o " + Quote(folder / "taken.png") + " hello", "it is a folder"},
        {kQrgen + " -o " + Quote(folder / "taken.png") + "/ hello", "taken.png/: it is a folder"},
        {kQrgen + " -o " + Quote(folder / "missing" / "x.png") + " hello", "No such file or directory"},
        // The step that failed, with its own reason.
        {kQrgen + " -o /proc/version hello", "cannot create a file in /proc: No such file or directory"},
        {kQrgen + " batch -O " + Quote(keep) + " </dev/null", "into " + keep.string() + ": it is not a folder"},
        {kQrgen + " batch -O " + Quote(folder / "missing" / "out") + " </dev/null", "No such file or directory"},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string error = Shell(c.command + " 2>&1", &status);
        EXPECT_EQ(status, 1) << c.command;
        EXPECT_EQ(error.rfind("qrgen: cannot write ", 0), 0u) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        EXPECT_EQ(ReadFile(keep), "previous");
        EXPECT_EQ(Names(folder), (std::vector<std::string>{"keep.png", "taken.png"})) << c.command;
    }
    int status = -1;
    Shell(kQrgen + " -o " + Quote(keep) + " replaced", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ZbarFile(QString::fromStdString(keep.string())), "replaced");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"keep.png", "taken.png"}));

    // Written through links, to the file they name; a replaced file keeps its mode.
    const fs::path other = folder / "other";
    fs::create_directory(other);
    std::ofstream(other / "far.png") << "previous";
    fs::create_symlink("keep.png", folder / "link.png");
    fs::create_symlink("link.png", folder / "chain.png");
    fs::create_symlink(other / "far.png", folder / "far.png");
    struct Link {
        fs::path written, target;
        fs::perms mode;
    } links[] = {
        {keep, keep, fs::perms::owner_read | fs::perms::owner_write},
        {folder / "link.png", keep, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read},
        {folder / "chain.png", keep, fs::perms::owner_all},
        {folder / "far.png", other / "far.png",
         fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read},
    };
    for (const Link& l : links) {
        fs::permissions(l.target, l.mode);
        const std::string text = "through " + l.written.filename().string();
        Shell(kQrgen + " -o " + Quote(l.written) + " '" + text + "'", &status);
        EXPECT_EQ(status, 0) << l.written;
        EXPECT_EQ(fs::is_symlink(l.written), l.written != l.target) << l.written;
        EXPECT_EQ(ZbarFile(QString::fromStdString(l.target.string())), text) << l.written;
        EXPECT_EQ(fs::status(l.target).permissions(), l.mode) << l.written;
        EXPECT_EQ(Names(folder),
                  (std::vector<std::string>{"chain.png", "far.png", "keep.png", "link.png", "other", "taken.png"}));
        EXPECT_EQ(Names(other), std::vector<std::string>{"far.png"});
    }

    // A FIFO or device is written into where it is, never replaced by a file;
    // a batch refuses to put a record into one. The device comes last: it needs mknod.
    const fs::path nodes = folder / "nodes";
    fs::create_directories(nodes / "batch");
    const fs::path got = nodes / "got.png";
    const bool device = Shell("mknod " + Quote(nodes / "null") + " c 1 3 && echo made") == "made\n";
    struct Node {
        std::string command;
        fs::path node;
        fs::file_type type;
        std::string decoded; // what the reader got; empty: the command is refused
    } nodeCases[] = {
        {"mkfifo " + Quote(nodes / "fifo") + "; timeout 10 cat " + Quote(nodes / "fifo") + " > " + Quote(got) + " & " +
             kQrgen + " -o " + Quote(nodes / "fifo") + " 'into a fifo'; s=$?; wait; exit $s",
         nodes / "fifo", fs::file_type::fifo, "into a fifo"},
        {kQrgen + " -o /dev/stdout 'to /dev/stdout' | cat > " + Quote(got), "", fs::file_type::none, "to /dev/stdout"},
        {"mkfifo " + Quote(nodes / "batch" / "1.png") + "; echo record | " + kQrgen + " batch --force -O " +
             Quote(nodes / "batch"),
         nodes / "batch" / "1.png", fs::file_type::fifo, ""},
        {kQrgen + " -o " + Quote(nodes / "null") + " 'into a device'", nodes / "null", fs::file_type::character, ""},
    };
    for (const Node& n : nodeCases) {
        if (n.node == nodes / "null" && !device) GTEST_SKIP() << "mknod is not allowed here";
        fs::remove(got);
        const std::string error = Shell("(" + n.command + ") 2>&1", &status);
        const bool refused = n.decoded.empty() && n.type == fs::file_type::fifo;
        EXPECT_EQ(status, refused ? 1 : 0) << n.command << "\n" << error;
        if (refused) {
            EXPECT_NE(error.find("1.png: not a regular file"), std::string::npos) << error;
            EXPECT_EQ(Names(nodes / "batch"), std::vector<std::string>{"1.png"});
        }
        if (!n.node.empty()) {
            EXPECT_EQ(fs::symlink_status(n.node).type(), n.type) << n.command;
        }
        if (!n.decoded.empty()) {
            EXPECT_EQ(ZxingBytes(got), n.decoded) << n.command;
        }
    }
}

// Runs a command while this thread's event loop serves the test server.
std::string RunServed(const QString& command, const QStringList& args, const QStringList& env, int* status)
{
    QProcess p;
    p.setEnvironment(QProcess::systemEnvironment() + env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    p.start(command, args);
    loop.exec();
    *status = p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAll().toStdString();
}

TEST(QrgenCli, ServerTextsCannotDriveTheTerminal)
{
    struct Case {
        const char* msg;      // as the JSON reply writes it
        const char* shown;    // what qrgen prints
        bool payload = false; // the account's payload (info) under --payload, not a refusal (msg)
    } cases[] = {
        {R"(\u001b]0;owned\u0007\u001b[2Jgone)", R"(\x1b]0;owned\x07\x1b[2Jgone)"},
        {R"(a\u009b31mb\u007fc\r\nd)", R"(a\u009b31mb\x7fc\x0d\x0ad)"},
        {"未找到该公众号", "未找到该公众号"},
        {R"(http://weixin.qq.com/r/\u001b]0;owned\u0007x)", R"(http://weixin.qq.com/r/\x1b]0;owned\x07x)", true},
    };
    for (const Case& c : cases) {
        RawHttpServer server(
            HttpReply(200, "application/json",
                      QByteArray(c.payload ? R"({"result":1,"info":")" : R"({"result":0,"msg":")") + c.msg + "\"}"));
        QStringList args = {"wechat", "--account", "x"};
        if (c.payload) args << "--payload";
        int status = -1;
        const std::string out =
            RunServed(QString::fromStdString(kQrgen), args, {"VORLANE_API_URL=" + server.Url("")}, &status);
        EXPECT_EQ(out, std::string(c.shown) + "\n") << c.msg;
        EXPECT_EQ(status, c.payload ? 0 : 1);
    }
}

TEST(QrgenCli, BatchWritesEveryRecordAndReportsTheRefused)
{
    TempDir dir;
    const fs::path folder = dir.path();
    dir.Write("lines.txt",
              "alpha\nbeta\r\n\n" + std::string(7100, 'z') + "\ngamma\n" + std::string(70000, 'y') + "\ndelta");
    dir.Write("cards.csv", "file,name,tel,org\n"
                           "zhang,张三,138,\"Acme, Inc.\"\n"
                           "nobody,李四,,\n"
                           "broken,a\"b,1,2\n"
                           "short,王五\n"
                           "\"multi\nline\",赵六,139,x\n"
                           "wang,\"王 \"\"五\"\"\",137,\n"
                           "zhang,钱七,135,\n"
                           "open,\"孙八,136,\n"
                           "zhou,周九,133,\n");
    // A quoted field that runs past the bound: refused, and reading goes on at its second line.
    dir.Write("long.csv",
              "text\nfirst\n\"" + std::string(40000, 'x') + "\n" + std::string(40000, 'x') + "\"\nsecond\nthird\n");
    dir.Write("same.csv", "text\nsame\nother\nsame\nsame\n");
    dir.Write("wifi.csv", "ssid,password,security\nhome,secret,WPA\nopen,,none\nbad,x,WPA3\n");
    // As a spreadsheet saves it: a byte order mark, capitals, spaces after the commas.
    dir.Write("spaced.csv", "\xEF\xBB\xBFName, Tel , File\n张三,138,zhang\n");
    const std::string tooLong = "the data does not fit version 40 at level Q";
    struct Case {
        std::string options, input;
        int status;
        std::vector<std::pair<std::string, std::string>> files; // name -> decoded
        std::vector<std::string> refusals;
    } cases[] = {
        {"-t png",
         "lines.txt",
         1,
         {{"1.png", "alpha"}, {"2.png", "beta"}, {"5.png", "gamma"}, {"7.png", "delta"}},
         {"qrgen: line 3: 请输入内容后再进行生成!", "qrgen: line 4: " + tooLong,
          "qrgen: line 6: record too long (over 64 KiB)"}},
        {"--kind card --name-column file -t svg",
         "cards.csv",
         1,
         {{"zhang.svg", "MECARD:N:张三;TEL:138;ORG:Acme, Inc.;"},
          {"wang.svg", "MECARD:N:王 \"五\";TEL:137;"},
          {"zhou.svg", "MECARD:N:周九;TEL:133;"}},
         {"qrgen: line 3: 请至少输入姓名与电话", "qrgen: line 4: bad CSV row: malformed CSV (a stray quote)",
          "qrgen: line 5: bad CSV row: 2 fields, the header has 4",
          "qrgen: line 6: cannot name a file 'multi\\x0aline'", "qrgen: line 9: name already used by line 2",
          "qrgen: line 10: bad CSV row: unclosed quote"}},
        {"--csv --name-column text -j 2",
         "same.csv",
         1,
         {{"same.png", "same"}, {"other.png", "other"}},
         {"qrgen: line 4: name already used by line 2", "qrgen: line 5: name already used by line 2"}},
        {"--kind wifi",
         "wifi.csv",
         1,
         {{"1.png", "WIFI:S:home;T:WPA;P:secret;"}, {"2.png", "WIFI:S:open;T:nopass;"}},
         {"qrgen: line 4: --security takes WPA, WEP or none"}},
        {"--csv -t svg",
         "long.csv",
         1,
         {{"1.svg", "first"}, {"4.svg", "second"}, {"5.svg", "third"}},
         {"qrgen: line 3: record too long (over 64 KiB)", "qrgen: line 4: bad CSV row: malformed CSV (a stray quote)"}},
        {"--kind card --name-column file", "spaced.csv", 0, {{"zhang.png", "MECARD:N:张三;TEL:138;"}}, {}},
    };
    for (const Case& c : cases) {
        const fs::path out = folder / ("out-" + c.input);
        int status = -1;
        const std::string err = Shell(
            kQrgen + " batch " + c.options + " -O " + Quote(out) + " " + Quote(folder / c.input) + " 2>&1", &status);
        EXPECT_EQ(status, c.status) << c.input;
        for (const std::string& refusal : c.refusals) EXPECT_NE(err.find(refusal + "\n"), std::string::npos) << err;
        const std::string summary = "qrgen: " + std::to_string(c.files.size()) + " written, " +
                                    std::to_string(c.refusals.size()) + " refused in ";
        EXPECT_NE(err.find(summary), std::string::npos) << err;
        std::vector<std::string> expectedNames;
        for (const auto& [name, text] : c.files) {
            expectedNames.push_back(name);
            const fs::path picture = Readable(out / name, name.substr(name.size() - 3), folder);
            EXPECT_EQ(ZbarFile(QString::fromStdString(picture.string())), text) << name;
            EXPECT_EQ(ZxingBytes(picture), text) << name;
        }
        std::sort(expectedNames.begin(), expectedNames.end());
        EXPECT_EQ(Names(out), expectedNames) << c.input;
        // Again: every name exists now, which is an error unless --force.
        const std::string again = Shell(
            kQrgen + " batch " + c.options + " -O " + Quote(out) + " " + Quote(folder / c.input) + " 2>&1", &status);
        EXPECT_EQ(status, 1);
        EXPECT_NE(again.find("exists (--force replaces it)"), std::string::npos) << again;
        // --force replaces what the last run left, and still refuses the same records.
        const std::string forced = Shell(kQrgen + " batch --force " + c.options + " -O " + Quote(out) + " " +
                                             Quote(folder / c.input) + " 2>&1",
                                         &status);
        EXPECT_EQ(status, c.status) << c.input;
        for (const std::string& refusal : c.refusals)
            EXPECT_NE(forced.find(refusal + "\n"), std::string::npos) << forced;
        EXPECT_EQ(Names(out), expectedNames) << c.input;
    }
}

} // namespace
