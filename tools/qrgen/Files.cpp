#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

} // namespace

namespace {

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

int OpenInput(const std::string& path)
{
    return path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

} // namespace

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

namespace {

bool Special(const struct stat& st) { return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode); }

} // namespace

bool IsSpecialNode(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && Special(st);
}

Result<void> WriteIntoNode(const std::string& path, const Producer& produce)
{
    // The node may be what standard output already is (/dev/stdout on a
    // socket, which cannot be opened by name).
    struct stat node {
    }, out{};
    const bool isStdout = ::stat(path.c_str(), &node) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 &&
                          node.st_dev == out.st_dev && node.st_ino == out.st_ino && node.st_rdev == out.st_rdev;
    Fd fd{isStdout ? -1 : ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY)};
    const int target = isStdout ? STDOUT_FILENO : fd.fd;
    if (target < 0) return Fail(Errno("cannot write " + path));
    int failure = 0;
    const bool made = produce([&](std::string_view bytes) {
        if (WriteFd(target, bytes)) return true;
        failure = errno;
        return false;
    });
    errno = failure;
    if (failure) return Fail(Errno("cannot write " + path));
    if (!made) return Fail("cannot make the picture");
    if (isStdout) return {};
    const int closing = fd.fd;
    fd.fd = -1;
    if (::close(closing) != 0) return Fail(Errno("cannot write " + path));
    return {};
}
