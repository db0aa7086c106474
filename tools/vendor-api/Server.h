#pragma once
// The serving threads: each runs its own epoll loop over the connections it accepted, so a
// slow or idle connection costs a descriptor and a few hundred bytes, never a thread.
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "Connection.h"

namespace http {

class Loop;

class Server {
public:
    // Serves the listening socket listenFd (owned by the caller) on `threads` threads;
    // tls is null for plain HTTP. Up to `slots` connections are held at once.
    Server(int listenFd, const TlsCredentials* tls, Handler handler, unsigned threads, std::size_t slots);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Stops accepting, closes idle connections and answers the requests under way,
    // for at most kStopTime; returns when every serving thread has ended.
    void Stop();

    static constexpr auto kStopTime = std::chrono::seconds(5);

private:
    struct Shared {
        int listenFd;
        const TlsCredentials* tls;
        Handler handler;
        std::size_t slots;
        std::atomic<std::size_t> open{0};
        std::atomic<bool> stopping{false};
        std::atomic<Clock::rep> stopBy{0};
    };
    Shared shared_;
    std::vector<std::unique_ptr<Loop>> loops_;
    std::vector<std::thread> threads_;
    friend class Loop;
};

} // namespace http
