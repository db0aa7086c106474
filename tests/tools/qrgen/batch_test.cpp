// qrgen batch: every record written or refused with its line and reason.
#include <gtest/gtest.h>

#include "PictureFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

// The inputs: lines, and CSV as people and spreadsheets write it.
void WriteInputs(const TempDir& dir)
{
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
}

struct Case {
    std::string options, input;
    int status;
    std::vector<std::pair<std::string, std::string>> files; // name -> decoded
    std::vector<std::string> refusals;
};

// One batch run of a case, then again without and with --force.
void Check(const Case& c, const fs::path& folder)
{
    const fs::path out = folder / ("out-" + std::to_string(std::hash<std::string>{}(c.options + c.input)));
    int status = -1;
    const std::string err =
        Shell(kQrgen + " batch " + c.options + " -O " + Quote(out) + " " + Quote(folder / c.input) + " 2>&1", &status);
    EXPECT_EQ(status, c.status) << c.input;
    for (const std::string& refusal : c.refusals) EXPECT_NE(err.find(refusal + "\n"), std::string::npos) << err;
    const std::string summary =
        "qrgen: " + std::to_string(c.files.size()) + " written, " + std::to_string(c.refusals.size()) + " refused in ";
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
    const std::string again =
        Shell(kQrgen + " batch " + c.options + " -O " + Quote(out) + " " + Quote(folder / c.input) + " 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(again.find("exists (--force replaces it)"), std::string::npos) << again;
    // --force replaces what the last run left, and still refuses the same records.
    const std::string forced =
        Shell(kQrgen + " batch --force " + c.options + " -O " + Quote(out) + " " + Quote(folder / c.input) + " 2>&1",
              &status);
    EXPECT_EQ(status, c.status) << c.input;
    for (const std::string& refusal : c.refusals) EXPECT_NE(forced.find(refusal + "\n"), std::string::npos) << forced;
    EXPECT_EQ(Names(out), expectedNames) << c.input;
}

TEST(QrgenBatch, WritesEveryRecordAndReportsTheRefused)
{
    TempDir dir;
    const fs::path folder = dir.path();
    WriteInputs(dir);
    const std::string tooLong = "the data does not fit version 40 at level Q";
    const Case cases[] = {
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
        {"--kind card --name-column file -t PDF", "spaced.csv", 0, {{"zhang.pdf", "MECARD:N:张三;TEL:138;"}}, {}},
    };
    for (const Case& c : cases) Check(c, folder);
}

} // namespace
