#pragma once
// A loopback HTTP server on threads of its own, for clients that must survive
// whatever a server sends: it keeps sending however busy the client is. Each
// connection's request head (and body) is read, then a behaviour answers on
// the blocking socket. Plain C++ and POSIX sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testsupport {

class SocketServer {
public:
    using Behaviour = std::function<void(int fd, const std::string& request, const std::atomic<bool>& stop)>;

    explicit SocketServer(Behaviour behave, const char* address = "127.0.0.1", int wantedPort = 0)
        : behave_(std::move(behave))
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(wantedPort));
        inet_pton(AF_INET, address, &addr.sin_addr);
        socklen_t size = sizeof addr;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), size) != 0 || listen(listener_, 16) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
            return;
        port = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~SocketServer()
    {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        for (auto& t : connections_) t.join();
        close(listener_);
    }
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    std::string Url(const std::string& path = "/x", const std::string& host = "127.0.0.1") const
    {
        return "http://" + host + ":" + std::to_string(port) + path;
    }
    std::string LastRequest() const
    {
        std::lock_guard lock(mutex_);
        return last_;
    }

    int port = 0;
    std::atomic<int> requests{0};

private:
    void Accept()
    {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            connections_.emplace_back([this, fd] {
                // Time-outs keep a client that neither reads nor closes from holding the test.
                timeval wait{2, 0};
                setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
                setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
                const std::string request = ReadRequest(fd);
                if (!request.empty()) {
                    {
                        std::lock_guard lock(mutex_);
                        last_ = request;
                    }
                    ++requests;
                    behave_(fd, request, stop_);
                }
                close(fd);
            });
        }
    }

    static std::string ReadRequest(int fd)
    {
        std::string in;
        char buf[4096];
        size_t head = std::string::npos;
        while ((head = in.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return {};
            in.append(buf, static_cast<size_t>(n));
        }
        const size_t at = in.find("Content-Length: ");
        const size_t length = at < head ? std::stoul(in.substr(at + 16)) : 0;
        while (in.size() < head + 4 + length) {
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            in.append(buf, static_cast<size_t>(n));
        }
        return in;
    }

    Behaviour behave_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
    mutable std::mutex mutex_;
    std::string last_;
};

inline bool Send(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

inline void Pause(const std::atomic<bool>& stop, int ms)
{
    for (int i = 0; i < ms / 10 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Sends raw and closes.
inline SocketServer::Behaviour Answer(const std::string& raw)
{
    return [raw](int fd, const std::string&, const std::atomic<bool>&) { Send(fd, raw); };
}

// Sends head, then piece after piece as fast as the client takes them, until stopped.
inline SocketServer::Behaviour Endless(const std::string& head, const std::string& piece)
{
    return [head, piece](int fd, const std::string&, const std::atomic<bool>& stop) {
        if (!Send(fd, head)) return;
        while (!stop && Send(fd, piece)) {}
    };
}

// Sends head, then drop every everyMs, until stopped.
inline SocketServer::Behaviour Trickle(const std::string& head, const std::string& drop, int everyMs)
{
    return [head, drop, everyMs](int fd, const std::string&, const std::atomic<bool>& stop) {
        if (!Send(fd, head)) return;
        while (!stop && Send(fd, drop)) Pause(stop, everyMs);
    };
}

} // namespace testsupport
