#pragma once
// Child processes a test measures or signals. They start with default signal
// dispositions and an empty signal mask, whatever the suite inherited (a
// script's background job ignores SIGINT, and so would its children).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace testsupport {

// A shell command run as a child of the test, not of another shell.
class Child {
public:
    // stdoutPath/stderrPath: files the streams go to ("" keeps the test's own).
    explicit Child(const std::string& command, const std::string& stdoutPath = "", const std::string& stderrPath = "")
    {
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t defaults, empty;
        sigemptyset(&defaults);
        for (int s : {SIGINT, SIGTERM, SIGPIPE, SIGQUIT, SIGHUP}) sigaddset(&defaults, s);
        sigemptyset(&empty);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setsigmask(&attr, &empty);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        if (!stdoutPath.empty())
            posix_spawn_file_actions_addopen(&files, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!stderrPath.empty())
            posix_spawn_file_actions_addopen(&files, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        if (posix_spawn(&pid_, "/bin/sh", &files, &attr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
        posix_spawnattr_destroy(&attr);
    }
    ~Child()
    {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    void Signal(int signal) const { ::kill(pid_, signal); }

    // Exit status, or 128 + the signal that ended it (as a shell reports it).
    int Wait()
    {
        int status = 0;
        rusage usage{};
        while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {}
        waited_ = true;
        peakKiB_ = usage.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // The largest resident size of the child and what it waited for, after Wait().
    long peakKiB() const { return peakKiB_; }

private:
    pid_t pid_ = -1;
    bool waited_ = false;
    long peakKiB_ = 0;
};

} // namespace testsupport
