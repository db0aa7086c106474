// HttpPost against servers that send what no vendor reply is: endless, huge,
// compressed or broken replies end by the deadline, with at most 1 MiB taken.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <QElapsedTimer>
#include <QThread>
#include <QtGlobal>

#include <memory>
#include <string>
#include <string_view>

#include "HttpPost.h"
#include "SocketServer.h"

namespace {

using namespace testsupport;

constexpr int kTimeoutMs = 1500;
// Time a busy machine may add to an exchange that ends by the deadline.
constexpr int kMarginMs = kTimeoutMs;

const std::string kOkHead = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n";
const std::string kChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

std::string Repeat(const std::string& piece, size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string OkReply(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// A gzip stream that inflates to `megabytes` MiB of zeros.
std::string GzipBomb(int megabytes)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1 << 20, '\0'), out, buffer(1 << 16, '\0');
    for (int i = 0; i < megabytes; ++i) {
        z.next_in = reinterpret_cast<Bytef*>(zeros.data());
        z.avail_in = static_cast<uInt>(zeros.size());
        const int flush = i + 1 == megabytes ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            out.append(buffer.data(), buffer.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

// Sends head, then resets the connection.
SocketServer::Behaviour ResetAfter(const std::string& head)
{
    return [head](int fd, const std::string&, const std::atomic<bool>&) {
        Send(fd, head);
        const linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    };
}

long PeakResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class HttpReplyBounds : public ::testing::Test {
protected:
    void SetUp() override { qputenv("VORLANE_HTTP_TIMEOUT_MS", QByteArray::number(kTimeoutMs)); }
};

TEST_F(HttpReplyBounds, EveryReplyEndsByTheDeadlineWithAtMostOneMebibyteTaken)
{
    const std::string mebibyte(1 << 20, ' ');
    const std::string bomb = GzipBomb(200);
    const struct {
        const char* name;
        SocketServer::Behaviour behave;
        long acceptedSize; // characters of an accepted reply; -1: a failure
    } cases[] = {
        {"1 MiB exactly", Answer(OkReply(mebibyte)), 1 << 20},
        {"1 MiB and a byte", Answer(OkReply(mebibyte + " ")), -1},
        {"a length of 10^15 announced",
         Trickle("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000\r\n\r\n{", " ", 50), -1},
        {"endless body", Endless(kOkHead, std::string(1 << 16, '[')), -1},
        {"endless body in 1 MiB chunks", Endless(kChunkedHead, "100000\r\n" + mebibyte + "\r\n"), -1},
        {"endless tiny chunks", Endless(kChunkedHead, Repeat("1\r\nx\r\n", 4096)), -1},
        {"endless chunk extension", Endless(kChunkedHead + "1;", std::string(1 << 16, 'e')), -1},
        {"endless header line", Endless("HTTP/1.1 200 OK\r\nX-Long: ", std::string(1 << 16, 'h')), -1},
        {"endless header lines", Endless("HTTP/1.1 200 OK\r\n", Repeat("X-A: 1\r\n", 4096)), -1},
        {"100,000 headers",
         Answer("HTTP/1.1 200 OK\r\n" + Repeat("X-N: 1\r\n", 100000) + "Content-Length: 2\r\n\r\n{}"), -1},
        {"a flood of 100 Continue", Endless("", Repeat("HTTP/1.1 100 Continue\r\n\r\n", 1024)), -1},
        {"gzip bomb of 200 MiB, kept compressed",
         Answer("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(bomb.size()) +
                "\r\n\r\n" + bomb),
         static_cast<long>(QString::fromUtf8(bomb.data(), static_cast<qsizetype>(bomb.size())).size())},
        {"reset after the head", ResetAfter("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"res"), -1},
        {"body a byte at a time", Trickle(kOkHead + R"({"result":1,"info":")", "x", 20), -1},
        {"headers a line at a time", Trickle("HTTP/1.1 200 OK\r\n", "X-Slow: 1\r\n", 20), -1},
        {"accepts and stays silent", Trickle("", "", 50), -1},
        {"https: accepts and never shakes hands", Trickle("", "", 50), -1},
    };
    const long peakBefore = PeakResidentKb();
    for (const auto& c : cases) {
        SocketServer server(c.behave);
        ASSERT_NE(server.port, 0);
        QElapsedTimer clock;
        clock.start();
        QString url = QString::fromStdString(server.Url());
        // A TLS client hello is no HTTP request: the server counts none.
        const bool tls = std::string_view(c.name).rfind("https:", 0) == 0;
        if (tls) url.replace("http:", "https:");
        const Result<QString> reply = HttpPost(url, {{"sn", u"qrcode"}});
        EXPECT_LT(clock.elapsed(), kTimeoutMs + kMarginMs) << c.name;
        EXPECT_EQ(server.requests, tls ? 0 : 1) << c.name;
        ASSERT_EQ(reply.has_value(), c.acceptedSize >= 0) << c.name << ": " << (reply ? "accepted" : reply.error());
        if (reply) {
            EXPECT_EQ(reply->size(), c.acceptedSize) << c.name;
        }
    }
    // The servers' own pieces and the accepted replies are a few MiB.
    EXPECT_LT(PeakResidentKb() - peakBefore, 32 * 1024);
}

// The window's wait asks its worker thread to stop when the answer is no longer wanted.
TEST_F(HttpReplyBounds, AnInterruptedThreadGivesUpAtOnce)
{
    qputenv("VORLANE_HTTP_TIMEOUT_MS", "20000");
    SocketServer silent(Trickle("HTTP/1.1 200 OK\r\n", "X-Slow: 1\r\n", 50));
    std::unique_ptr<QThread> worker;
    std::string outcome = "none";
    worker.reset(QThread::create([&] {
        const Result<QString> reply = HttpPost(QString::fromStdString(silent.Url()), {{"sn", u"qrcode"}});
        outcome = reply ? "a reply" : reply.error();
    }));
    worker->start();
    QElapsedTimer clock;
    clock.start();
    while (silent.requests == 0 && clock.elapsed() < 10000) QThread::msleep(10);
    ASSERT_EQ(silent.requests, 1);
    clock.restart();
    worker->requestInterruption();
    // Well before the 20 s deadline, with room for a busy machine.
    EXPECT_TRUE(worker->wait(5000));
    EXPECT_LT(clock.elapsed(), 5000);
    worker->wait();
    EXPECT_EQ(outcome, "cancelled");
}

} // namespace
