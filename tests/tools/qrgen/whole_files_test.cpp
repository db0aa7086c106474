// A file is the previous one or the whole new one; devices and FIFOs are written where they are.
#include <gtest/gtest.h>

#include "PictureFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

TEST(QrgenWholeFiles, OutputIsWholeOrTheOldFileStays)
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
}

// Written through links (the user's own, in a private folder), to the file they
// name; a replaced file keeps its mode.
TEST(QrgenWholeFiles, LinksAreWrittenThroughAndModesKept)
{
    TempDir dir;
    const fs::path folder = dir.path();
    const fs::path keep = folder / "keep.png";
    std::ofstream(keep) << "previous";
    fs::create_directory(folder / "taken.png");
    int status = -1;
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
}

// A FIFO or device is written into where it is, never replaced by a file; a
// batch refuses to put a record into one. The device comes last: it needs mknod.
TEST(QrgenWholeFiles, DevicesAndFifosAreWrittenWhereTheyAre)
{
    TempDir dir;
    const fs::path folder = dir.path();
    int status = -1;
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

} // namespace
