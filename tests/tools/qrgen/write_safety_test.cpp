// Where qrgen -o and a batch may write: planted and dangling links, files the
// user may not write, other users' files. A second user is needed for some
// rows; the suite runs as root in CI and takes nobody (65534) through setpriv.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileHelpers.h"
#include "Readers.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;
const std::string kOther = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

struct Owner {
    uid_t uid;
    mode_t mode;
};

Owner OwnerOf(const fs::path& p)
{
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return {st.st_uid, st.st_mode & 07777};
}

struct Case {
    const char* what;
    std::string setup;   // shell commands in the scratch folder; $OTHER runs one as the second user
    std::string command; // qrgen's arguments
    bool asOther;        // qrgen runs as the second user
    int status;
    std::string says;   // in the message; empty: none
    const char* target; // the file that must hold "victim" still, or the new symbol
    bool written;
    uid_t owner; // of the target afterwards
    mode_t mode;
};

// Rows that need another user's file or link say "another" in what they are.
std::vector<Case> Cases(bool root, uid_t me)
{
    return {
        {"link another user planted in a sticky folder", "mkdir -m 1777 s && $OTHER ln -s ../victim s/l.png",
         "-o s/l.png new", false, 1, "s/l.png: it is a symbolic link another user made in a shared folder", "victim",
         false, me, 0644},
        {"link another user planted in a sticky folder, to a FIFO",
         "mkdir -m 1777 s && mkfifo fifo && $OTHER ln -s ../fifo s/l.png", "-o s/l.png new", false, 1,
         "s/l.png: it is a symbolic link another user made in a shared folder", "fifo", false, me, 0644},
        {"folder link another user planted in a sticky folder", "mkdir -m 1777 s && $OTHER ln -s .. s/dir",
         "-o s/dir/victim new", false, 1, "s/dir/victim: its folder is reached through a symbolic link another user",
         "victim", false, me, 0644},
        {"one's own link in a sticky folder", "mkdir -m 1777 s && ln -s ../victim s/l.png", "-o s/l.png new", false, 0,
         "", "victim", true, me, 0644},
        {"dangling link", "ln -s nowhere.png d.png", "-o d.png new", false, 1,
         "cannot write d.png: the symbolic link names nothing", "d.png", false, me, 0777},
        {"the user's own read-only file", "chmod 444 victim && chown $WHO victim", "-o victim new", true, 1,
         "cannot write victim: Permission denied", "victim", false, root ? 65534u : me, 0444},
        {"another user's file the user may write", "mkdir -m 777 w && cp -p victim w/v && chmod 666 w/v", "-o w/v new",
         true, 0, "", "w/v", true, me, 0666},
        {"another user's file the user may not write", "mkdir -m 777 w && cp -p victim w/v", "-o w/v new", true, 1,
         "cannot write w/v: Permission denied", "w/v", false, me, 0644},
        {"a batch never follows a link", "mkdir out && ln -s ../victim out/1.png",
         "batch --force -O out /dev/stdin <<< new", false, 1, "out/1.png: it is a symbolic link; not followed",
         "victim", false, me, 0644},
    };
}

TEST(QrgenWriteSafety, WritesOnlyWhereTheUserMay)
{
    const bool root = ::geteuid() == 0;
    const uid_t me = ::geteuid();
    const std::vector<Case> cases = Cases(root, me);
    int skipped = 0;
    for (const Case& c : cases) {
        const bool needsOther = c.asOther || c.setup.find("$OTHER") != std::string::npos;
        if (needsOther && !root && std::string(c.what).find("another") != std::string::npos) {
            ++skipped; // another user's files or links cannot be made without root
            continue;
        }
        TempDir dir;
        fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        dir.Write("victim", "victim");
        fs::permissions(dir.path() / "victim", static_cast<fs::perms>(0644));
        const std::string env = "cd " + Quote(dir.path()) + " && OTHER=\"" + kOther +
                                "\" WHO=" + std::to_string(root ? 65534 : me) + " && ";
        int status = -1;
        Shell("bash -c " + Quote(env + c.setup), &status);
        ASSERT_EQ(status, 0) << c.what;
        const std::string runner = c.asOther && root ? kOther : "";
        const std::string says =
            Shell("bash -c " + Quote(env + runner + kQrgen + " " + c.command + " 2>&1 >/dev/null"), &status);
        EXPECT_EQ(status, c.status) << c.what << "\n" << says;
        if (!c.says.empty()) {
            EXPECT_NE(says.find(c.says), std::string::npos) << c.what << "\n" << says;
        }
        const fs::path target = dir.path() / c.target;
        if (c.written) {
            EXPECT_EQ(ZbarFile(QString::fromStdString(target.string())), "new") << c.what;
        } else if (fs::is_fifo(target)) {
            // Nothing to read: a write into it would have blocked, no reader being there.
        } else if (!fs::is_symlink(target)) {
            EXPECT_EQ(ReadFile(target), "victim") << c.what;
        } else {
            EXPECT_FALSE(fs::exists(target)) << c.what;
        }
        EXPECT_EQ(OwnerOf(target).uid, c.owner) << c.what;
        EXPECT_EQ(OwnerOf(target).mode, c.mode) << c.what;
    }
    if (skipped) GTEST_SKIP() << skipped << " rows need a second user: run the suite as root";
}

} // namespace
