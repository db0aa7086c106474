#include "Companion.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

constexpr size_t kMaxReply = 1 << 20; // payloads are a few hundred bytes

std::string OwnFolder()
{
    std::array<char, 4096> buf{};
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return ".";
    std::string path(buf.data(), static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

// Beside qrgen in the build tree, in the helper folder once installed.
std::string FindCompanion()
{
    const std::string folder = OwnFolder();
    for (const std::string& candidate : {folder + "/qrgen-wechat", folder + "/" + QRGEN_HELPER_DIR + "/qrgen-wechat"})
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    return {};
}

} // namespace

LookupOutcome RunAccountLookup(const std::string& account)
{
    const std::string program = FindCompanion();
    if (program.empty()) return {LookupOutcome::NotRun, "cannot find qrgen-wechat"};
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {LookupOutcome::NotRun, std::strerror(errno)};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(account.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return {LookupOutcome::NotRun, "cannot run " + program + ": " + std::strerror(rc)};
    }
    std::string reply;
    std::array<char, 4096> buf;
    for (;;) {
        const ssize_t n = ::read(fds[0], buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (reply.size() < kMaxReply) reply.append(buf.data(), static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && reply.size() < kMaxReply)
        return {LookupOutcome::Payload, reply};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1 && !reply.empty() && reply.size() < kMaxReply)
        return {LookupOutcome::Message, reply};
    return {LookupOutcome::NotRun, program + " failed"};
}
