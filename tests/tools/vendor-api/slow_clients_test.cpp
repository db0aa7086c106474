// Slow, idle and trickling clients never keep a good client from being served.
#include <gtest/gtest.h>

#include "Connection.h"
#include "VendorApiClient.h"

#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace testsupport;

// Slow and idle connections only hold their own slot: a good client is still answered.
TEST(VendorApiServer, SlowClientsDoNotStarveOthers)
{
    VendorApi api(kDemoData);
    ASSERT_TRUE(api.Running());
    const quint16 port = PortOf(api);
    std::vector<std::unique_ptr<QTcpSocket>> slow, idle;
    for (int i = 0; i < 40; ++i) {
        auto& s = slow.emplace_back(std::make_unique<QTcpSocket>());
        s->connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(s->waitForConnected(3000));
        s->write("POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nX-Slow: ");
        s->waitForBytesWritten(1000);
    }
    for (int i = 0; i < 10; ++i) {
        auto& s = idle.emplace_back(std::make_unique<QTcpSocket>());
        s->connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(s->waitForConnected(3000));
    }
    int answered = 0;
    for (int i = 0; i < 20; ++i) {
        answered += GoodClientAnswered(port);
        for (auto& s : slow) s->write("a"), s->waitForBytesWritten(100); // one more byte, never a whole line
    }
    EXPECT_EQ(answered, 20);
}

// A plain socket that sends a byte at a time, as a trickling client does.
class Trickler {
public:
    explicit Trickler(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Trickler() { ::close(fd_); }
    Trickler(const Trickler&) = delete;
    Trickler& operator=(const Trickler&) = delete;
    bool Connected() const { return connected_; }
    // Sends the next byte; false once the server has closed the connection.
    bool Send(char byte)
    {
        char probe;
        const ssize_t peeked = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return false;
        return ::send(fd_, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1;
    }

private:
    int fd_;
    bool connected_ = false;
};

// Connections that send a byte a second, over HTTP or as a TLS handshake, are cut when their
// time runs out however steadily they send, and a good client is served all along.
TEST(VendorApiServer, TricklingConnectionsAreCutAndNeverStarveAGoodClient)
{
    using namespace std::chrono;
    const Certificate cert;
    ASSERT_TRUE(cert.ok);
    struct Case {
        bool tls;
        QByteArray bytes; // sent one a second, over and over
        seconds allowed;  // the time the server gives such a connection
    };
    const Case cases[] = {
        {false, "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nX-Slow: ", http::kRequestTime},
        {true, QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11), http::kIdleTime},
    };
    constexpr int kTricklers = 300;
    constexpr auto kBusyMargin = seconds(5);
    for (const Case& c : cases) {
        VendorApi api(kDemoData, c.tls ? &cert : nullptr);
        ASSERT_TRUE(api.Running());
        std::vector<std::unique_ptr<Trickler>> tricklers;
        for (int i = 0; i < kTricklers; ++i) {
            tricklers.push_back(std::make_unique<Trickler>(PortOf(api)));
            ASSERT_TRUE(tricklers.back()->Connected());
        }
        const auto start = steady_clock::now();
        int served = 0, asked = 0, open = kTricklers;
        for (int second = 0; open > 0 && steady_clock::now() - start < c.allowed + kBusyMargin; ++second) {
            open = 0;
            for (auto& t : tricklers) open += t && t->Send(c.bytes[second % c.bytes.size()]);
            const auto s = Connect(PortOf(api), c.tls);
            ++asked;
            if (s) {
                s->write(LookupRequest());
                QByteArray reply;
                while (s->waitForReadyRead(3000)) reply += s->readAll();
                served += AnswersDemo(reply);
            }
            QThread::msleep(1000);
        }
        EXPECT_EQ(open, 0) << (c.tls ? "TLS" : "HTTP") << ": still open after " << (c.allowed + kBusyMargin).count()
                           << " s";
        EXPECT_GE(steady_clock::now() - start, c.allowed - seconds(1)) << "cut before their time";
        EXPECT_EQ(served, asked) << (c.tls ? "TLS" : "HTTP");
    }
}

} // namespace
