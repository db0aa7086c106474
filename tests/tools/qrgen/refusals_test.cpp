// Input qrgen cannot use is refused, with nothing written.
#include <gtest/gtest.h>

#include "FileHelpers.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

// Anything over the most a symbol holds is refused from its size, without reading it;
// nothing at all, or a file that cannot be read, is refused too, and none leaves a file.
TEST(QrgenRefusals, RefusesInputItCannotUse)
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

} // namespace
