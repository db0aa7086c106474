#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

mode_t g_umask = 022;

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

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

// Reads up to limit bytes; -1 on a read error.
ssize_t ReadUpTo(int fd, std::string& out, size_t limit)
{
    out.resize(limit);
    size_t have = 0;
    while (have < limit) {
        const ssize_t n = ::read(fd, out.data() + have, limit - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    out.resize(have);
    return static_cast<ssize_t>(have);
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0) ::close(fd);
    }
};

// Renames without ever replacing an existing name; link() where the file
// system has no such rename.
int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    ::unlink(from.c_str());
    return 0;
}

int OpenInput(const std::string& path)
{
    return path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

} // namespace

void RememberUmask()
{
    g_umask = ::umask(022);
    ::umask(g_umask);
}

InputRead ReadBounded(const std::string& path)
{
    Fd in{OpenInput(path)};
    if (in.fd < 0) return {InputRead::Unreadable, {}, Errno("cannot read " + path)};
    struct stat st {};
    if (::fstat(in.fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uintmax_t>(st.st_size) > kMaxInputBytes)
        return {InputRead::TooLong, {}, {}};
    InputRead result;
    if (ReadUpTo(in.fd, result.bytes, kMaxInputBytes + 1) < 0)
        return {InputRead::Unreadable, {}, Errno("cannot read " + path)};
    if (result.bytes.size() > kMaxInputBytes) return {InputRead::TooLong, {}, {}};
    return result;
}

std::optional<std::string> ReadAll(const std::string& path, std::string& error)
{
    Fd in{OpenInput(path)};
    if (in.fd < 0) {
        error = Errno("cannot read " + path);
        return std::nullopt;
    }
    std::string all, chunk;
    for (;;) {
        const ssize_t n = ReadUpTo(in.fd, chunk, 1 << 16);
        if (n < 0) {
            error = Errno("cannot read " + path);
            return std::nullopt;
        }
        if (n == 0) return all;
        all += chunk;
    }
}

bool WriteStdout(std::string_view bytes) { return WriteFd(STDOUT_FILENO, bytes); }

namespace {

// The file a chain of symbolic links ends at (path itself when it is no link),
// so a replacement goes to the file the link names and the link stays.
std::optional<std::string> FinalTarget(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size() - 1);
        if (n <= 0) return std::nullopt;
        std::string target(link.data(), static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        if (target[0] != '/' && slash != std::string::npos) target = path.substr(0, slash + 1) + target;
        path = std::move(target);
    }
    errno = ELOOP;
    return std::nullopt;
}

bool Special(const struct stat& st) { return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode); }

} // namespace

bool IsSpecialNode(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && Special(st);
}

std::optional<std::string> WriteIntoNode(const std::string& path, std::string_view bytes)
{
    // The node may be what standard output already is (/dev/stdout on a
    // socket, which cannot be opened by name).
    struct stat node {
    }, out{};
    if (::stat(path.c_str(), &node) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 && node.st_dev == out.st_dev &&
        node.st_ino == out.st_ino && node.st_rdev == out.st_rdev)
        return WriteFd(STDOUT_FILENO, bytes) ? std::nullopt : std::optional(Errno("cannot write " + path));
    Fd fd{::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY)};
    if (fd.fd < 0 || !WriteFd(fd.fd, bytes)) return Errno("cannot write " + path);
    const int closing = fd.fd;
    fd.fd = -1;
    if (::close(closing) != 0) return Errno("cannot write " + path);
    return std::nullopt;
}

std::optional<std::string> WriteWhole(const std::string& shown, std::string_view bytes, const WriteOptions& options)
{
    // Without --force an existing name, a link too, is refused by the rename itself.
    const auto resolved = options.replace ? FinalTarget(shown) : std::optional<std::string>(shown);
    if (!resolved) return Errno("cannot write " + shown);
    const std::string& path = *resolved;
    // A rename would put an ordinary file where a device or FIFO was.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && Special(existing))
        return "cannot write " + shown + ": not a regular file";
    // A file that is replaced keeps its permission bits.
    mode_t mode = 0666 & ~g_umask;
    struct stat previous {};
    if (options.replace && ::stat(path.c_str(), &previous) == 0 && S_ISREG(previous.st_mode))
        mode = previous.st_mode & 07777;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = folder + "." + base + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    Fd out{::mkostemp(name.data(), O_CLOEXEC)};
    // The step that failed is named: "No such file" alone misleads where the
    // folder refuses new files (/proc) and the target itself exists.
    if (out.fd < 0)
        return Errno("cannot write " + shown + ": cannot create a file in " + (folder.empty() ? "." : folder));
    temp = name.data();
    std::optional<std::string> error;
    if (::fchmod(out.fd, mode) != 0 || !WriteFd(out.fd, bytes) || (options.sync && ::fsync(out.fd) != 0))
        error = Errno("cannot write " + shown);
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0 && !error) error = Errno("cannot write " + path);
    if (!error && ::stat(path.c_str(), &existing) == 0 && Special(existing))
        error = "cannot write " + shown + ": not a regular file";
    if (!error) {
        const int rc = options.replace ? ::rename(temp.c_str(), path.c_str()) : RenameNoReplace(temp, path);
        if (rc != 0) error = errno == EEXIST ? shown + " exists (--force replaces it)" : Errno("cannot write " + shown);
        else return std::nullopt;
    }
    ::unlink(temp.c_str());
    return error;
}
