// The files a batch names: the longest names a file system takes, names with
// control characters shown escaped, and what a killed batch leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "FileHelpers.h"
#include "Processes.h"
#include "Readers.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

TEST(QrgenBatchNames, LongNamesWorkAndControlsAreShownEscaped)
{
    TempDir dir;
    struct Case {
        std::string name;  // the CSV name column
        std::string shown; // in the message of a second run, which finds the file there
    } cases[] = {
        {std::string(240, 'n'), std::string(240, 'n')},
        {std::string(251, 'l'), std::string(251, 'l')}, // 255 bytes with .png
        {"csi\xc2\x9b"
         "2J",
         "csi\\u009b2J"},
        {"osc\x9d"
         "0;x",
         "osc\\x9d0;x"},
    };
    std::string csv = "text,file\n";
    for (const Case& c : cases) csv += "payload," + c.name + "\n";
    dir.Write("names.csv", csv);
    const std::string run = kQrgen + " batch --csv --name-column file -O " + Quote(dir.path() / "out") + " " +
                            Quote(dir.path() / "names.csv") + " 2>&1";
    int status = -1;
    const std::string first = Shell(run, &status);
    EXPECT_EQ(status, 0) << first;
    const std::string second = Shell(run, &status);
    EXPECT_EQ(status, 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        // Copied to a plain name: Qt cannot name a file whose name is not UTF-8.
        const fs::path plain = dir.path() / "plain.png";
        fs::copy_file(dir.path() / "out" / (c.name + ".png"), plain, fs::copy_options::overwrite_existing);
        EXPECT_EQ(ZbarFile(QString::fromStdString(plain.string())), "payload") << c.shown;
        EXPECT_NE(second.find("line " + std::to_string(i + 2) + ": " + (dir.path() / "out").string() + "/" + c.shown +
                              ".png exists"),
                  std::string::npos)
            << second;
    }
    for (unsigned char byte : second) EXPECT_FALSE(byte >= 0x80 && byte < 0xa0) << second;
}

// Temporary files are ".qrgen-PID-N"; a batch removes those of writers no
// longer running once they are an hour old, and nothing else.
TEST(QrgenBatchNames, RemovesOnlyAbandonedTemporaryFiles)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    fs::create_directory(out);
    int status = -1;
    const std::string gone = Shell("sh -c 'echo $$'", &status).substr(0, 10);
    const std::string dead = std::to_string(std::stol(gone)), alive = std::to_string(::getpid());
    struct Case {
        std::string name;
        bool old;
        bool stays;
    } cases[] = {
        {".qrgen-" + dead + "-0", true, false}, {".qrgen-" + dead + "-1", false, true},
        {".qrgen-" + alive + "-0", true, true}, {".qrgen-x-0", true, true},
        {".other-" + dead + "-0", true, true},
    };
    for (const Case& c : cases) {
        dir.Write("out/" + c.name, "partial");
        if (c.old) {
            const utimbuf twoHoursAgo{time(nullptr) - 7200, time(nullptr) - 7200};
            ASSERT_EQ(::utime((out / c.name).c_str(), &twoHoursAgo), 0);
        }
    }
    Shell("echo record | " + kQrgen + " batch -O " + Quote(out) + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    for (const Case& c : cases) EXPECT_EQ(fs::exists(out / c.name), c.stays) << c.name;
    EXPECT_TRUE(fs::exists(out / "1.png"));
}

// Without --force a name already taken is refused in words that say by what,
// and a new file gets the mode the umask leaves.
TEST(QrgenBatchNames, TakenNamesAreRefusedAndNewFilesFollowTheUmask)
{
    TempDir dir;
    dir.Write("urls.txt", "one\ntwo\nthree\nfour\n");
    const fs::path out = dir.path() / "out";
    fs::create_directories(out / "1.png");
    fs::create_symlink(dir.path() / "nowhere", out / "2.png");
    dir.Write("out/3.png", "mine");
    int status = -1;
    const std::string err = Shell(
        "umask 027; " + kQrgen + " batch -O " + Quote(out) + " " + Quote(dir.path() / "urls.txt") + " 2>&1", &status);
    EXPECT_EQ(status, 1) << err;
    const std::string shown = out.string();
    for (const std::string& refusal : {"line 1: cannot write " + shown + "/1.png: it is a folder",
                                       "line 2: " + shown + "/2.png exists (--force replaces it)",
                                       "line 3: " + shown + "/3.png exists (--force replaces it)"})
        EXPECT_NE(err.find("qrgen: " + refusal + "\n"), std::string::npos) << refusal << "\n" << err;
    EXPECT_TRUE(fs::is_directory(out / "1.png"));
    EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
    EXPECT_EQ(ReadFile(out / "3.png"), "mine");
    struct stat st {};
    ASSERT_EQ(::stat((out / "4.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(out), (std::vector<std::string>{"1.png", "2.png", "3.png", "4.png"}));
}

} // namespace
