#pragma once
// One client connection of the server: a non-blocking socket (TLS through GnuTLS or
// plain), the request being read and the reply being written, and the time it has left.
#include <gnutls/gnutls.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "HttpRequest.h"
#include "Result.h"

namespace http {

using Clock = std::chrono::steady_clock;

// How long a connection may take: from its accept to a first request byte (TLS handshake
// included) or between requests; from a request's first byte to its last; for a reply to leave.
inline constexpr auto kIdleTime = std::chrono::seconds(10);
inline constexpr auto kRequestTime = std::chrono::seconds(10);
inline constexpr auto kReplyTime = std::chrono::seconds(10);

struct Answer {
    unsigned status = 200;
    std::string json;
};
using Handler = std::function<Answer(const Request&)>;

// The server's certificate and key, shared by every TLS connection.
class TlsCredentials {
public:
    // GnuTLS's reason when it will not take the PEM texts.
    static Result<std::unique_ptr<TlsCredentials>> FromPem(const std::string& cert, const std::string& key);
    ~TlsCredentials();
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;
    gnutls_certificate_credentials_t Get() const { return credentials_; }

private:
    TlsCredentials() = default;
    gnutls_certificate_credentials_t credentials_ = nullptr;
};

class Connection {
public:
    // Takes the socket; tls is null for plain HTTP.
    Connection(int fd, const TlsCredentials* tls, Clock::time_point now);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Goes as far as the socket allows; returns the epoll events to wait for, 0 when done.
    std::uint32_t OnReady(const Handler& handler, Clock::time_point now);
    bool Expired(Clock::time_point now) const { return now >= deadline_; }
    // No request begun: nothing is lost by closing it.
    bool Idle() const;
    // The server is stopping: the request under way is answered, then the connection closes.
    void CloseAfterReply() { stopping_ = true; }

private:
    enum class Phase { Handshake, Reading, Writing, Lingering };
    enum class Io { Progress, Blocked, Closed };

    Io Receive(std::string& into);
    Io Send();
    std::uint32_t Blocked() const;
    bool TakeRequest(const Handler& handler, Clock::time_point now);
    void Queue(unsigned status, const std::string& json, bool close, Clock::time_point now);
    void Linger(Clock::time_point now);

    int fd_;
    gnutls_session_t tls_ = nullptr;
    Phase phase_;
    RequestReader reader_;
    std::string in_, out_;
    std::size_t sent_ = 0, discarded_ = 0;
    bool started_ = false, closeAfterWrite_ = false, interim_ = false, continued_ = false, stopping_ = false;
    bool reparse_ = false; // bytes of a pipelined request wait in in_
    Clock::time_point deadline_;
};

} // namespace http
