#include "Connection.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "VendorApi.h"

namespace http {

namespace {

// After a refusal the rest of the request is read and dropped for a while, so that closing
// with unread bytes does not reset the connection before the client has read the refusal.
constexpr std::size_t kMaxDiscardBytes = 1024 * 1024;
constexpr auto kLingerTime = std::chrono::seconds(2);
// Requests served in a row on one connection before the others get their turn.
constexpr int kTurnsInARow = 16;

const char* Reason(unsigned status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Content Too Large";
    case 431: return "Request Header Fields Too Large";
    default: return "Error";
    }
}

} // namespace

Result<std::unique_ptr<TlsCredentials>> TlsCredentials::FromPem(const std::string& cert, const std::string& key)
{
    std::unique_ptr<TlsCredentials> owner(new TlsCredentials);
    if (const int error = gnutls_certificate_allocate_credentials(&owner->credentials_); error < 0) {
        return Fail(gnutls_strerror(error));
    }
    const gnutls_datum_t certDatum{reinterpret_cast<unsigned char*>(const_cast<char*>(cert.data())),
                                   static_cast<unsigned>(cert.size())};
    const gnutls_datum_t keyDatum{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())),
                                  static_cast<unsigned>(key.size())};
    if (const int error =
            gnutls_certificate_set_x509_key_mem(owner->credentials_, &certDatum, &keyDatum, GNUTLS_X509_FMT_PEM);
        error < 0) {
        return Fail(gnutls_strerror(error));
    }
    return owner;
}

TlsCredentials::~TlsCredentials()
{
    if (credentials_) gnutls_certificate_free_credentials(credentials_);
}

Connection::Connection(int fd, const TlsCredentials* tls, Clock::time_point now)
    : fd_(fd), phase_(tls ? Phase::Handshake : Phase::Reading), deadline_(now + kIdleTime)
{
    if (!tls) return;
    if (gnutls_init(&tls_, GNUTLS_SERVER | GNUTLS_NONBLOCK | GNUTLS_NO_SIGNAL) < 0) {
        tls_ = nullptr;
        phase_ = Phase::Lingering;
        deadline_ = now; // cannot serve it: closed at the next look
        return;
    }
    gnutls_set_default_priority(tls_);
    gnutls_credentials_set(tls_, GNUTLS_CRD_CERTIFICATE, tls->Get());
    gnutls_certificate_server_set_request(tls_, GNUTLS_CERT_IGNORE);
    gnutls_handshake_set_timeout(tls_, 0); // the connection's own deadline bounds it
    gnutls_transport_set_int(tls_, fd_);
}

Connection::~Connection()
{
    if (tls_) gnutls_deinit(tls_);
    ::close(fd_);
}

bool Connection::Idle() const
{
    return phase_ == Phase::Handshake || (phase_ == Phase::Reading && !started_ && in_.empty());
}

Connection::Io Connection::Receive(std::string& into)
{
    char buffer[16384];
    while (true) {
        const ssize_t n = tls_ && phase_ != Phase::Lingering ? gnutls_record_recv(tls_, buffer, sizeof buffer)
                                                             : ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            return Io::Progress;
        }
        if (n == 0) return Io::Closed;
        if (!tls_ || phase_ == Phase::Lingering) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? Io::Blocked : Io::Closed;
        }
        if (n == GNUTLS_E_AGAIN) return Io::Blocked;
        if (n == GNUTLS_E_INTERRUPTED || n == GNUTLS_E_REHANDSHAKE || !gnutls_error_is_fatal(static_cast<int>(n)))
            continue; // a warning alert or a renegotiation we decline: read on
        return Io::Closed;
    }
}

Connection::Io Connection::Send()
{
    while (sent_ < out_.size()) {
        const ssize_t n = tls_ ? gnutls_record_send(tls_, out_.data() + sent_, out_.size() - sent_)
                               : ::send(fd_, out_.data() + sent_, out_.size() - sent_, MSG_NOSIGNAL);
        if (n > 0) {
            sent_ += static_cast<std::size_t>(n);
            continue;
        }
        if (tls_) {
            if (n == GNUTLS_E_AGAIN) return Io::Blocked;
            if (n == GNUTLS_E_INTERRUPTED) continue;
            return Io::Closed;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? Io::Blocked : Io::Closed;
    }
    return Io::Progress;
}

// The events that let a blocked call go on: GnuTLS says which way it was going.
std::uint32_t Connection::Blocked() const
{
    if (tls_ && phase_ != Phase::Lingering && (phase_ == Phase::Handshake || phase_ == Phase::Reading))
        return gnutls_record_get_direction(tls_) == 1 ? EPOLLOUT : EPOLLIN;
    return phase_ == Phase::Writing ? EPOLLOUT : EPOLLIN;
}

void Connection::Queue(unsigned status, const std::string& json, bool close, Clock::time_point now)
{
    out_ = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
           "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " + std::to_string(json.size()) +
           (close ? "\r\nConnection: close" : "") + (status == 405 ? "\r\nAllow: POST" : "") + "\r\n\r\n" + json;
    sent_ = 0;
    closeAfterWrite_ = close;
    interim_ = false;
    phase_ = Phase::Writing;
    deadline_ = now + kReplyTime;
}

// Reads the request from what has arrived; true when there is something to write.
bool Connection::TakeRequest(const Handler& handler, Clock::time_point now)
{
    const RequestReader::State state = reader_.Read(in_);
    if (state == RequestReader::State::Refused) {
        Queue(reader_.Why().status, ::Refusal(reader_.Why().message), true, now);
        return true;
    }
    if (state == RequestReader::State::NeedMore) {
        if (!reader_.AwaitingBody() || !reader_.Got().expectContinue || continued_) return false;
        out_ = "HTTP/1.1 100 Continue\r\n\r\n";
        sent_ = 0;
        continued_ = interim_ = true;
        phase_ = Phase::Writing;
        return true;
    }
    const Answer answer = handler(reader_.Got());
    Queue(answer.status, answer.json, !reader_.Got().keepAlive || stopping_, now);
    return true;
}

void Connection::Linger(Clock::time_point now)
{
    if (tls_) gnutls_bye(tls_, GNUTLS_SHUT_WR); // one try: the close notice is a courtesy
    ::shutdown(fd_, SHUT_WR);
    phase_ = Phase::Lingering;
    deadline_ = std::min(deadline_, now + kLingerTime);
    in_.clear();
}

std::uint32_t Connection::OnReady(const Handler& handler, Clock::time_point now)
{
    for (int turns = 0;;) {
        if (phase_ == Phase::Handshake) {
            const int r = gnutls_handshake(tls_);
            if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED) return Blocked();
            if (r < 0 && gnutls_error_is_fatal(r)) return 0;
            if (r < 0) continue; // a warning alert
            phase_ = Phase::Reading;
            deadline_ = now + kIdleTime;
        } else if (phase_ == Phase::Reading) {
            if (std::exchange(reparse_, false) && TakeRequest(handler, now)) continue;
            if (++turns > kTurnsInARow && !(tls_ && gnutls_record_check_pending(tls_) > 0)) return EPOLLIN;
            const bool wasEmpty = in_.empty();
            const Io io = Receive(in_);
            if (io != Io::Progress) return io == Io::Blocked ? Blocked() : 0;
            if (wasEmpty && !started_) {
                started_ = true; // the request's whole time runs from its first byte
                deadline_ = now + kRequestTime;
            }
            TakeRequest(handler, now);
        } else if (phase_ == Phase::Writing) {
            const Io io = Send();
            if (io != Io::Progress) return io == Io::Blocked ? Blocked() : 0;
            if (interim_) {
                interim_ = false;
                phase_ = Phase::Reading;
            } else if (closeAfterWrite_) {
                Linger(now);
            } else {
                in_.erase(0, reader_.Consumed());
                reader_.Reset();
                continued_ = false;
                phase_ = Phase::Reading;
                started_ = reparse_ = !in_.empty();
                deadline_ = now + (started_ ? kRequestTime : kIdleTime);
            }
        } else {
            std::string dropped;
            const Io io = Receive(dropped);
            discarded_ += dropped.size();
            if (io == Io::Closed || discarded_ > kMaxDiscardBytes) return 0;
            if (io == Io::Blocked) return EPOLLIN;
        }
    }
}

} // namespace http
