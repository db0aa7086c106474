// An interrupted batch finishes the records in hand and leaves only whole
// files, whether its input is a file or a pipe that never ends. qrgen starts
// with default signal dispositions, so the test holds when the suite itself
// runs as a background job (which ignores SIGINT).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "FileHelpers.h"
#include "Processes.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

size_t CountFiles(const fs::path& folder)
{
    std::error_code ignored;
    size_t n = 0;
    for (auto it = fs::directory_iterator(folder, ignored); it != fs::directory_iterator(); it.increment(ignored)) ++n;
    return n;
}

TEST(QrgenInterrupt, LeavesOnlyWholeFiles)
{
    TempDir dir;
    std::string lines;
    for (int i = 0; i < 300000; ++i) lines += "https://example.com/item/" + std::to_string(i) + "?ref=batch\n";
    dir.Write("urls.txt", lines);
    const fs::path fifo = dir.path() / "endless";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        const char* what;
        std::string input;  // qrgen's standard input
        std::string feeder; // a command writing into the FIFO, or ""
        int signal;
    } cases[] = {
        {"a file, SIGINT", (dir.path() / "urls.txt").string(), "", SIGINT},
        {"a file, SIGTERM", (dir.path() / "urls.txt").string(), "", SIGTERM},
        {"standard input that never ends, SIGINT", fifo.string(), "exec yes https://example.com/endless > ", SIGINT},
    };
    const fs::path out = dir.path() / "out";
    const fs::path err = dir.path() / "err.txt";
    for (const Case& c : cases) {
        fs::remove_all(out);
        std::unique_ptr<Child> feeder;
        if (!c.feeder.empty()) feeder = std::make_unique<Child>(c.feeder + Quote(fifo));
        Child qrgen("exec " + kQrgen + " batch -O " + Quote(out) + " < " + Quote(c.input), "", err.string());
        ASSERT_TRUE(qrgen.started());
        // Interrupted once it has written something: however busy the machine, that comes.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (CountFiles(out) < 10 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        qrgen.Signal(c.signal);
        EXPECT_EQ(qrgen.Wait(), 128 + c.signal) << c.what;
        if (feeder) feeder->Signal(SIGKILL);
        size_t files = 0;
        for (const auto& e : fs::directory_iterator(out)) {
            const std::string name = e.path().filename().string();
            EXPECT_NE(name[0], '.') << "temporary file left: " << name;
            const std::string png = ReadFile(e.path());
            EXPECT_EQ(png.size() > 12 ? png.substr(png.size() - 12, 8) : "", std::string("\0\0\0\0IEND", 8)) << name;
            ++files;
        }
        EXPECT_GE(files, 10u) << c.what;
        EXPECT_LT(files, 300000u) << c.what;
        // The summary counts what is on disk.
        EXPECT_NE(ReadFile(err).find("qrgen: " + std::to_string(files) + " written, 0 refused in "), std::string::npos)
            << c.what << ": " << ReadFile(err);
    }
}

// Records are handed to the workers in chunks: a line typed into a pipe must
// still be written while the pipe stays open, not when more lines follow.
TEST(QrgenInterrupt, WritesEachLineOfAPipeAsItComes)
{
    TempDir dir;
    const fs::path fifo = dir.path() / "typed", out = dir.path() / "out";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Child qrgen("exec " + kQrgen + " batch -O " + Quote(out) + " < " + Quote(fifo), "", "/dev/null");
    ASSERT_TRUE(qrgen.started());
    const int typing = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(typing, 0);
    for (const std::string line : {"first\n", "second\n"}) {
        const size_t before = CountFiles(out);
        ASSERT_EQ(::write(typing, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (CountFiles(out) == before && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(CountFiles(out), before + 1) << "not written while the pipe is open: " << line;
    }
    ::close(typing);
    EXPECT_EQ(qrgen.Wait(), 0);
}

} // namespace
