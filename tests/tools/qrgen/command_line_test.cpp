// Where the text comes from, what -v means, help, and usage errors.
#include <gtest/gtest.h>

#include "PictureFiles.h"
#include <regex>

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

TEST(QrgenCommandLine, TextFromTheArgumentsOrStandardInput)
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
        {"-7", "qrgen: unknown option -7 (text that starts with '-' goes after --, as in qrgen -- -7)\n"},
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

TEST(QrgenCommandLine, ExitStatusAndFormats)
{
    const std::string& qrgen = kQrgen;
    int status = -1;
    auto version = [&](int count, const std::string& options) {
        const std::string txt = Shell(qrgen + " encode --format txt " + options + " --text " +
                                          std::string(static_cast<size_t>(count), 'k') + " 2>/dev/null",
                                      &status);
        return status == 0 ? static_cast<int>((txt.find('\n') - 17) / 4) : -status;
    };
    // 11 letters fill version 1 at level Q. -v is the smallest version, as in qrencode.
    struct {
        int count;
        const char* options;
        int version; // negative: the exit status
    } versions[] = {
        {11, "", 1}, {12, "", 2}, {11, "-v 3", 3}, {12, "-v 1", 2}, {1663, "-v 2", 40}, {1664, "-v 40", -1},
    };
    for (const auto& v : versions) EXPECT_EQ(version(v.count, v.options), v.version) << v.count << " " << v.options;
    {
        TempDir dir;
        const fs::path input = dir.path() / "in.txt";
        std::ofstream(input) << std::string(1663, 'k');
        const std::string txt = Shell(qrgen + " encode --format txt --file '" + input.string() + "'", &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(txt.find('\n'), 177u);
        std::ofstream(input) << std::string(1664, 'k');
        Shell(qrgen + " encode --file '" + input.string() + "' 2>/dev/null", &status);
        EXPECT_EQ(status, 1);
        // Pictures: same input, byte-identical files.
        const std::string a = Shell(qrgen + " encode --text 'same input' --format png");
        const std::string b = Shell(qrgen + " encode --text 'same input' --format png");
        EXPECT_EQ(a, b);
        EXPECT_EQ(a.substr(1, 3), "PNG");
        const std::string bmp = Shell(qrgen + " encode --text abc --format bmp --scale 2");
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_NE(Shell(qrgen + " encode --text abc --format svg").find("<svg"), std::string::npos);
    }
    EXPECT_EQ(Shell(qrgen + " encode --text abc --format codewords"),
              "40 36 16 26 30 EC 11 EC 11 EC 11 EC 11 6A 34 E9 54 E6 64 C0 8D 08 E3 A3 86 94\n");
    EXPECT_EQ(Shell("printf abc | " + qrgen + " encode --format codewords").substr(0, 14), "40 36 16 26 30");
    EXPECT_EQ(Shell(qrgen + " encode --hex 616263 --format codewords").substr(0, 14), "40 36 16 26 30");
    for (const char* bad :
         {"encode --level X", "encode -v 41", "encode --mask 9", "encode --format gif", "encode --text a --hex 61",
          "encode --hex 6", "--frobnicate", "encode --text a b",
          // A word that looks like a negative number is no text: text that starts with '-' goes after --.
          "-7", "-t txt -7", "encode -3", "batch -O out -2", "-7 --"}) {
        Shell(qrgen + " " + bad + " </dev/null >/dev/null 2>&1", &status);
        EXPECT_EQ(status, 2) << bad;
    }
}

// Only the options a command line names are built, so every way of naming one
// must still reach it: attached values, combined flags, --name=value, and the
// rules between options, whichever of the two the command line names.
TEST(QrgenCommandLine, OptionsReachedInEverySpelling)
{
    // Each spelling gives the same codewords, and not those of the command line without the option.
    const std::pair<const char*, std::vector<const char*>> spellings[] = {
        {"hello", {"-l L hello", "-lL hello", "--level=L hello"}},
        {"abc", {"-i abc", "--ignorecase abc", "-ci abc"}},
        {"123", {"-M -v 2 123", "-Mv2 123", "--micro --symversion=2 123"}},
        {"-i abc", {"-8 -i abc", "-8i abc", "--8bit --ignorecase abc"}},
    };
    for (const auto& [without, ways] : spellings) {
        const std::string first = Shell(kQrgen + " -t codewords " + ways[0]);
        EXPECT_NE(first.find(' '), std::string::npos) << ways[0];
        EXPECT_NE(first, Shell(kQrgen + " -t codewords " + without)) << ways[0];
        for (const char* way : ways) EXPECT_EQ(Shell(kQrgen + " -t codewords " + way), first) << way;
    }
    int status = -1;
    const std::pair<const char*, const char*> rules[] = {
        {"--rmqr-height 9 hello", "qrgen: --rmqr-height requires --rmqr\n"},
        {"batch /dev/null", "qrgen: --out-dir is required\n"},
        {"encode --hex 61 --read-from=/dev/null", "qrgen: --hex excludes --file\n"},
        {"encode --text a b", "qrgen: --text excludes TEXT\n"},
    };
    for (const auto& [args, first] : rules) {
        const std::string usage = Shell(kQrgen + " " + args + " 2>&1 >/dev/null </dev/null", &status);
        EXPECT_EQ(status, 2) << args;
        EXPECT_EQ(usage.substr(0, usage.find('\n') + 1), first) << usage;
    }
}

} // namespace
