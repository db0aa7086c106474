#include "Server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace http {

namespace {

constexpr auto kScanEvery = std::chrono::milliseconds(200);
// When descriptors run out, accepting waits this long before it tries again.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
constexpr int kAcceptsInARow = 64;

std::size_t DescriptorLimit()
{
    rlimit limit{};
    return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY ? limit.rlim_cur : 1024;
}

} // namespace

// One serving thread's epoll set: the shared listening socket, a wake-up event and its connections.
class Loop {
public:
    explicit Loop(Server::Shared& shared)
        : shared_(shared), epoll_(::epoll_create1(EPOLL_CLOEXEC)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          connections_(DescriptorLimit()), watched_(connections_.size())
    {
    }
    ~Loop()
    {
        connections_.clear();
        ::close(wake_);
        ::close(epoll_);
    }
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    void Wake() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    }
    void Run();

private:
    void Watch(int fd, std::uint32_t events, int op = EPOLL_CTL_ADD)
    {
        epoll_event e{};
        e.events = events;
        e.data.fd = fd;
        ::epoll_ctl(epoll_, op, fd, &e);
    }
    void Listen(bool on)
    {
        if (on == listening_) return;
        listening_ = on;
        if (on) Watch(shared_.listenFd, EPOLLIN | EPOLLEXCLUSIVE);
        else ::epoll_ctl(epoll_, EPOLL_CTL_DEL, shared_.listenFd, nullptr);
    }
    void Accept(Clock::time_point now);
    void Dispatch(int fd, Clock::time_point now);
    void Close(int fd)
    {
        connections_[fd].reset();
        --count_;
        --shared_.open;
    }
    void Scan(Clock::time_point now, bool stopping);

    Server::Shared& shared_;
    int epoll_, wake_;
    std::vector<std::unique_ptr<Connection>> connections_; // by descriptor
    std::vector<std::uint32_t> watched_;                   // the events each one waits for
    std::size_t count_ = 0;
    bool listening_ = false;
    Clock::time_point pausedUntil_{};
};

void Loop::Accept(Clock::time_point now)
{
    for (int i = 0; i < kAcceptsInARow; ++i) {
        if (shared_.open >= shared_.slots) return Listen(false); // back when a slot frees
        const int fd = ::accept4(shared_.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                pausedUntil_ = now + kAcceptPause;
                Listen(false);
            }
            if (errno == ECONNABORTED || errno == EINTR) continue;
            return;
        }
        if (static_cast<std::size_t>(fd) >= connections_.size()) {
            ::close(fd); // the limit was raised under us; not worth serving
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        connections_[fd] = std::make_unique<Connection>(fd, shared_.tls, now);
        ++count_;
        ++shared_.open;
        watched_[fd] = EPOLLIN;
        Watch(fd, EPOLLIN);
    }
}

void Loop::Dispatch(int fd, Clock::time_point now)
{
    Connection* c = connections_[fd].get();
    if (!c) return;
    const std::uint32_t want = c->OnReady(shared_.handler, now);
    if (want == 0) return Close(fd);
    if (want != watched_[fd]) {
        watched_[fd] = want;
        Watch(fd, want, EPOLL_CTL_MOD);
    }
}

// Closes connections past their time; when stopping, also those with no request begun.
void Loop::Scan(Clock::time_point now, bool stopping)
{
    for (std::size_t fd = 0; fd < connections_.size() && count_ > 0; ++fd) {
        Connection* c = connections_[fd].get();
        if (!c) continue;
        if (c->Expired(now) || (stopping && c->Idle())) {
            Close(static_cast<int>(fd));
        } else if (stopping) {
            c->CloseAfterReply();
        }
    }
}

void Loop::Run()
{
    Watch(wake_, EPOLLIN);
    Listen(true);
    epoll_event events[256];
    auto lastScan = Clock::now();
    bool stopping = false;
    while (true) {
        auto now = Clock::now();
        if (!stopping && shared_.stopping) {
            stopping = true;
            Listen(false);
            Scan(now, true);
        }
        if (stopping && (count_ == 0 || now.time_since_epoch().count() >= shared_.stopBy)) break;
        if (!stopping && !listening_ && now >= pausedUntil_ && shared_.open < shared_.slots) Listen(true);
        const int n = ::epoll_wait(epoll_, events, 256, static_cast<int>(kScanEvery.count()) / 2);
        now = Clock::now();
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == wake_) {
                std::uint64_t value;
                [[maybe_unused]] const ssize_t r = ::read(wake_, &value, sizeof value);
            } else if (fd == shared_.listenFd) {
                if (!stopping) Accept(now);
            } else {
                Dispatch(fd, now);
            }
        }
        if (now - lastScan >= kScanEvery) {
            lastScan = now;
            Scan(now, stopping);
        }
    }
}

Server::Server(int listenFd, const TlsCredentials* tls, Handler handler, unsigned threads, std::size_t slots)
    : shared_{listenFd, tls, std::move(handler), slots}
{
    for (unsigned i = 0; i < threads; ++i) loops_.push_back(std::make_unique<Loop>(shared_));
    for (auto& loop : loops_) threads_.emplace_back([l = loop.get()] { l->Run(); });
}

void Server::Stop()
{
    if (shared_.stopping) return;
    shared_.stopBy = (Clock::now() + kStopTime).time_since_epoch().count(); // before the flag the loops read
    shared_.stopping = true;
    ::shutdown(shared_.listenFd, SHUT_RD); // new clients are refused at once
    for (auto& loop : loops_) loop->Wake();
    for (auto& thread : threads_) thread.join();
    threads_.clear();
}

Server::~Server() { Stop(); }

} // namespace http
