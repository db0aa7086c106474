#include "Write.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>
#include <vector>

bool WriteFd(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

namespace {

std::atomic<unsigned> g_tempCounter{0};

Unexpected<std::string> Refusal(const std::string& shown, const std::string& why)
{
    return Fail("cannot write " + shown + ": " + why);
}

Unexpected<std::string> Errno(const std::string& shown) { return Refusal(shown, std::strerror(errno)); }

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    ~Fd() { Reset(-1); }
    int get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    // close() and its error: a write may only fail there (NFS, quotas).
    bool Close() { return ::close(Release()) == 0; }

private:
    void Reset(int fd)
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int fd_;
};

// Runs the producer into fd. The error names the failed write, or the picture.
Result<void> Fill(int fd, const std::string& shown, const Producer& produce, bool sync, off_t* written = nullptr)
{
    off_t total = 0;
    int failure = 0;
    const Sink sink = [&](std::string_view bytes) {
        if (!WriteFd(fd, bytes)) {
            failure = errno ? errno : EIO;
            return false;
        }
        total += static_cast<off_t>(bytes.size());
        return true;
    };
    const bool made = produce(sink);
    if (failure) return Refusal(shown, std::strerror(failure));
    if (!made) return Fail(std::string("cannot make the picture"));
    if (written) *written = total;
    if (sync && ::fsync(fd) != 0) return Errno(shown);
    return {};
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string Base(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// No fork follows, so the pid asked once stays true.
const std::string& TempStem()
{
    static const std::string stem = std::string(kTempPrefix) + std::to_string(::getpid()) + "-";
    return stem;
}

// A name only this run uses, created in the folder with this mode (less the umask).
Fd CreateTemporary(int folder, std::string& name, mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TempStem() + std::to_string(g_tempCounter++);
        Fd fd(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (fd.get() >= 0 || errno != EEXIST) return fd;
    }
    return Fd();
}

// Renames without replacing an existing name; link() where the file system
// has no such rename.
int RenameNoReplace(int folder, const std::string& from, const std::string& to)
{
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) return -1;
    ::unlinkat(folder, from.c_str(), 0);
    return 0;
}

// A new file, renamed into place when whole. keep: the mode of the file it
// replaces (set once it is ours alone); else a new file's mode from the umask.
Result<void> Replace(int folder, const std::string& name, const std::string& shown, std::optional<mode_t> keep,
                     const WriteOptions& options, const Producer& produce)
{
    std::string temp;
    Fd out = CreateTemporary(folder, temp, keep ? 0600 : 0666);
    // "No such file" alone misleads where the folder refuses new files (/proc) and the target exists.
    if (out.get() < 0) return Refusal(shown, "cannot create a file in " + Folder(shown) + ": " + std::strerror(errno));
    const bool moded = !keep || ::fchmod(out.get(), *keep) == 0;
    Result<void> filled = moded ? Fill(out.get(), shown, produce, options.sync) : Errno(shown);
    if (filled && !out.Close()) filled = Errno(shown);
    if (filled) {
        const int rc = options.replace ? ::renameat(folder, temp.c_str(), folder, name.c_str())
                                       : RenameNoReplace(folder, temp, name);
        if (rc == 0) return {};
        filled = errno == EEXIST ? Fail(shown + " exists (--force replaces it)") : Errno(shown);
    }
    ::unlinkat(folder, temp.c_str(), 0);
    return filled;
}

// A name that must not exist yet (no --force), written without looking
// first: the rename will not replace anything. Nothing when that did not work:
// the looking path then says why, in its words (a folder, an existing file).
std::optional<Result<void>> CreateNew(int folder, const std::string& name, const std::string& shown,
                                      const WriteOptions& options, const Producer& produce)
{
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    std::string temp;
    Fd out = CreateTemporary(folder, temp, 0666);
    if (out.get() < 0) return std::nullopt;
    if (Fill(out.get(), shown, produce, options.sync) && out.Close() && RenameNoReplace(folder, temp, name) == 0)
        return Result<void>{};
    ::unlinkat(folder, temp.c_str(), 0);
    return std::nullopt;
}

// Another user's file this user may write: in place, so owner and mode stay.
// It is cut to the new length only once the bytes are written.
Result<void> Overwrite(int folder, const std::string& name, const std::string& shown, const WriteOptions& options,
                       const Producer& produce)
{
    Fd out(::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (out.get() < 0) return Errno(shown);
    off_t written = 0;
    Result<void> filled = Fill(out.get(), shown, produce, options.sync, &written);
    if (filled && ::ftruncate(out.get(), written) != 0) filled = Errno(shown);
    if (filled && !out.Close()) filled = Errno(shown);
    return filled;
}

// The kernel's rule for links in sticky, world-writable folders: followed only
// when the follower or the folder's owner owns the link.
bool MayFollow(int folder, const struct stat& link)
{
    struct stat dir {};
    if (::fstat(folder, &dir) != 0) return false;
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

Result<Fd> WalkFolder(int base, const std::string& path, const std::string& shown, int& hops);

// One step along a link: the folder and name it names, checked against the rule.
Result<Fd> FollowLink(int folder, std::string& name, const std::string& shown, const struct stat& link)
{
    if (!MayFollow(folder, link))
        return Refusal(shown, "it is a symbolic link another user made in a shared folder; not followed");
    std::vector<char> target(static_cast<size_t>(link.st_size > 0 ? link.st_size : 255) + 2);
    const ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size() - 1);
    if (n <= 0) return Errno(shown);
    const std::string next(target.data(), static_cast<size_t>(n));
    int hops = 0;
    auto nextFolder = WalkFolder(folder, Folder(next), shown, hops);
    if (nextFolder) name = Base(next);
    return nextFolder;
}

// Opens the folder path names (relative to base) one name at a time, each
// link on the way held to the same rule: a link planted in /tmp must not lead
// "-o /tmp/planted/passwd" into /etc either.
Result<Fd> WalkFolder(int base, const std::string& path, const std::string& shown, int& hops)
{
    Fd at(!path.empty() && path[0] == '/' ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)
          : base == AT_FDCWD              ? ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                          : ::fcntl(base, F_DUPFD_CLOEXEC, 0));
    if (at.get() < 0) return Errno(shown);
    for (size_t from = 0; from < path.size();) {
        const size_t slash = std::min(path.find('/', from), path.size());
        const std::string name = path.substr(from, slash - from);
        from = slash + 1;
        if (name.empty() || name == ".") continue;
        struct stat st {};
        if (::fstatat(at.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Errno(shown);
        if (!S_ISLNK(st.st_mode)) {
            Fd next(::openat(at.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (next.get() < 0) return Errno(shown);
            at = std::move(next);
            continue;
        }
        if (!MayFollow(at.get(), st))
            return Refusal(shown, "its folder is reached through a symbolic link another user made in a shared "
                                  "folder; not followed");
        std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
        const ssize_t n = ::readlinkat(at.get(), name.c_str(), target.data(), target.size() - 1);
        if (n <= 0 || ++hops > 40) return Errno(shown);
        auto next = WalkFolder(at.get(), std::string(target.data(), static_cast<size_t>(n)), shown, hops);
        if (!next) return next;
        at = std::move(*next);
    }
    return at;
}

} // namespace

Result<void> WriteFileAt(int folderFd, const std::string& first, const std::string& shown, const WriteOptions& options,
                         const Producer& produce)
{
    if (!options.replace) {
        if (auto created = CreateNew(folderFd, first, shown, options, produce)) return std::move(*created);
    }
    Fd followed; // the folder a link led to
    int folder = folderFd;
    std::string name = first;
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st {};
        if (name.empty() || name == "." || name == "..") return Refusal(shown, "it is a folder");
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) return Errno(shown);
            if (hops > 0) return Refusal(shown, "the symbolic link names nothing");
            return Replace(folder, name, shown, std::nullopt, options, produce);
        }
        if (S_ISLNK(st.st_mode) && options.followLinks && options.replace) {
            auto next = FollowLink(folder, name, shown, st);
            if (!next) return Fail(next.error());
            followed = std::move(*next);
            folder = followed.get();
            continue;
        }
        if (S_ISLNK(st.st_mode) && options.replace) return Refusal(shown, "it is a symbolic link; not followed");
        if (S_ISDIR(st.st_mode)) return Refusal(shown, "it is a folder");
        if (!options.replace) return Fail(shown + " exists (--force replaces it)");
        if (!S_ISREG(st.st_mode)) return Refusal(shown, "not a regular file");
        if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) != 0) return Errno(shown);
        if (st.st_uid != ::geteuid()) return Overwrite(folder, name, shown, options, produce);
        return Replace(folder, name, shown, st.st_mode & 07777, options, produce);
    }
    errno = ELOOP;
    return Errno(shown);
}

Result<void> WriteFile(const std::string& path, const WriteOptions& options, const Producer& produce)
{
    if (!path.empty() && path.back() == '/') {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Refusal(path, "it is a folder");
        return Refusal(path, "a file name cannot end in /");
    }
    int hops = 0;
    auto folder = WalkFolder(AT_FDCWD, Folder(path), path, hops);
    if (!folder) return Fail(folder.error());
    return WriteFileAt(folder->get(), Base(path), path, options, produce);
}

Result<void> CheckLinks(const std::string& path)
{
    int hops = 0;
    auto walked = WalkFolder(AT_FDCWD, Folder(path), path, hops);
    if (!walked) return Fail(walked.error());
    Fd folder = std::move(*walked);
    std::string name = Base(path);
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st {};
        if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return {};
        auto next = FollowLink(folder.get(), name, path, st);
        if (!next) return Fail(next.error());
        folder = std::move(*next);
    }
    errno = ELOOP;
    return Errno(path);
}

void RemoveAbandonedTemporaries(int folderFd)
{
    DIR* dir = ::fdopendir(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return;
    const time_t hourAgo = std::time(nullptr) - 3600;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, kTempPrefix.size(), kTempPrefix) != 0) continue;
        const pid_t writer = static_cast<pid_t>(std::atol(name.c_str() + kTempPrefix.size()));
        struct stat st {};
        if (writer <= 0 || writer == ::getpid() || (::kill(writer, 0) == 0 || errno == EPERM)) continue;
        if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (st.st_mtime < hourAgo) ::unlinkat(folderFd, name.c_str(), 0);
    }
    ::closedir(dir);
}
