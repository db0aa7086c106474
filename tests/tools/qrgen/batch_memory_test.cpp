// A batch's memory does not grow with its input nor with the worker count:
// peak resident size of the qrgen process, with wide margins.
#include <gtest/gtest.h>

#include "FileHelpers.h"
#include "Processes.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

TEST(QrgenBatchMemory, StaysBoundedWhateverTheInputAndThreads)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    int status = -1;
    Shell("cd " + Quote(dir.path()) + " && yes '' | head -n 1000000 > empty.txt && head -c 70000 /dev/zero | tr " +
              "'\\0' a > long.txt && printf 'a\\nb\\nc\\n' > three.txt",
          &status);
    ASSERT_EQ(status, 0);
    struct Case {
        const char* what;
        std::string command; // run from the scratch folder
        long boundKiB;
        int status;
        size_t files; // in out/, each of fileBytes when given
        uintmax_t fileBytes = 0;
    } cases[] = {
        // Each record is refused (empty), so only reading and the queue count.
        {"a million lines", "exec " + kQrgen + " batch -O out empty.txt 2>/dev/null", 80 * 1024, 1, 0},
        {"1,500 lines of 70 KB from a pipe, each refused as too long",
         "for i in $(seq 1500); do cat long.txt; echo; done | " + kQrgen + " batch -O out 2>/dev/null", 80 * 1024, 1,
         0},
        // 178 MB pictures (version 40, 100 pixels a module, quiet zone of 100) on three threads.
        {"three of the largest BMPs at once",
         "exec " + kQrgen + " batch -j 3 -v 40 -s 100 -m 100 -t BMP -O out three.txt", 512 * 1024, 0, 3, 177793262},
    };
    for (const Case& c : cases) {
        fs::remove_all(out);
        Child child("cd " + Quote(dir.path()) + " && " + c.command);
        ASSERT_TRUE(child.started());
        EXPECT_EQ(child.Wait(), c.status) << c.what;
        EXPECT_LT(child.peakKiB(), c.boundKiB) << c.what;
        const std::vector<std::string> names = fs::exists(out) ? Names(out) : std::vector<std::string>{};
        EXPECT_EQ(names.size(), c.files) << c.what;
        for (const std::string& name : names) {
            if (c.fileBytes) {
                EXPECT_EQ(fs::file_size(out / name), c.fileBytes) << c.what;
            }
        }
        fs::remove_all(out);
    }
}

} // namespace
