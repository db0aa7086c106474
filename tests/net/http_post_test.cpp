// HttpPost against real servers on loopback: the vendor API stand-in over
// HTTPS, and servers that misbehave.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QtGlobal>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "JsonReply.h"
#include "Mymd5.h"
#include "NetConfig.h"
#include "POST.h"
#include "TestServers.h"

namespace {

using namespace testsupport;

const char kData[] = R"({
  "update": {"result": 1, "version": "3.1.0", "sid": "57", "must": "0"},
  "accounts": {"vorlane": "http://weixin.qq.com/r/demo", "a&b=c+d%e f中文": "特殊账号的内容"}
})";

// A loopback server on threads of its own, so that it keeps sending whatever
// the client's event loop is busy with. Each connection's request head (and
// body) is read, then the behaviour answers on the blocking socket.
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
    QString Url(const QString& path = "/x", const QString& host = "127.0.0.1") const
    {
        return QString("http://%1:%2%3").arg(host).arg(port).arg(path);
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
};

bool Send(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void Pause(const std::atomic<bool>& stop, int ms)
{
    for (int i = 0; i < ms / 10 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Fixed replies and the abuses a client must survive.
SocketServer::Behaviour Answer(const std::string& raw)
{
    return [raw](int fd, const std::string&, const std::atomic<bool>&) { Send(fd, raw); };
}

std::string JsonReplyOf(size_t bodySize)
{
    std::string body = R"({"result":1,"info":")";
    body.append(bodySize - body.size() - 2, 'x');
    body += "\"}";
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

SocketServer::Behaviour EndlessBody(const std::string& head, const std::string& piece)
{
    return [head, piece](int fd, const std::string&, const std::atomic<bool>& stop) {
        if (!Send(fd, head)) return;
        while (!stop && Send(fd, piece)) {}
    };
}

SocketServer::Behaviour Trickle(const std::string& head, const std::string& drop, int everyMs)
{
    return [head, drop, everyMs](int fd, const std::string&, const std::atomic<bool>& stop) {
        if (!Send(fd, head)) return;
        while (!stop && Send(fd, drop)) Pause(stop, everyMs);
    };
}

// Redirects /hops/N to /hops/N-1 on the same server, and /hops/0 answers.
SocketServer::Behaviour Hops()
{
    return [](int fd, const std::string& request, const std::atomic<bool>&) {
        const size_t at = request.find("/hops/");
        const int n = at == std::string::npos ? 0 : std::stoi(request.substr(at + 6));
        if (n == 0) Send(fd, JsonReplyOf(64));
        else
            Send(fd, "HTTP/1.1 307 Moved\r\nLocation: /hops/" + std::to_string(n - 1) +
                         "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    };
}

// A 307 to location, where "{port}" stands for the port the request was sent to.
SocketServer::Behaviour RedirectTo(const std::string& location)
{
    return [location](int fd, const std::string& request, const std::atomic<bool>&) {
        const size_t host = request.find("Host: ");
        const size_t colon = request.find(':', host + 6);
        const std::string port = request.substr(colon + 1, request.find("\r\n", colon) - colon - 1);
        std::string target = location;
        if (const size_t at = target.find("{port}"); at != std::string::npos) target.replace(at, 6, port);
        Send(fd, "HTTP/1.1 307 Moved\r\nLocation: " + target + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    };
}

const std::string kOkHead = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n";
constexpr int kTimeoutMs = 1500;

class HttpPostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        cert = std::make_unique<Certificate>();
        qputenv("VORLANE_CA_FILE", cert->certPath.toUtf8());
        qputenv("VORLANE_HTTP_TIMEOUT_MS", QByteArray::number(kTimeoutMs));
    }
    static void TearDownTestSuite() { cert.reset(); }
    static inline std::unique_ptr<Certificate> cert;
};

FormFields Lookup(const std::u16string& account)
{
    const std::string token = Md5Hex(account + u"vokha", 32);
    return {{"user_account", account}, {"token", std::u16string(token.begin(), token.end())}};
}

TEST_F(HttpPostTest, BothEndpointsOverHttps)
{
    ASSERT_TRUE(cert->ok);
    VendorApi api(kData, cert.get());
    ASSERT_TRUE(api.Running());
    ASSERT_TRUE(api.baseUrl.startsWith("https://"));

    const JsonReply version =
        ReadJsonReply(HttpPost(api.baseUrl + "/index.php/Index/soft_version", {{"sn", u"qrcode"}}));
    EXPECT_EQ(version.Member("result").value_or("?"), "1");
    EXPECT_EQ(version.Member("info", "version").value_or("?"), "3.1.0");

    const JsonReply found = ReadJsonReply(HttpPost(api.baseUrl + "/index.php/Index/qr_driod", Lookup(u"vorlane")));
    EXPECT_EQ(found.Member("result").value_or("?"), "1");
    EXPECT_EQ(found.Member("info").value_or("?"), "http://weixin.qq.com/r/demo");

    // Every character that could split the form arrives unchanged, and its token matches.
    const JsonReply special =
        ReadJsonReply(HttpPost(api.baseUrl + "/index.php/Index/qr_driod", Lookup(u"a&b=c+d%e f中文")));
    EXPECT_EQ(special.Member("result").value_or("?"), "1");
    EXPECT_EQ(special.Member("info").value_or("?"), "特殊账号的内容");

    const JsonReply unknown = ReadJsonReply(HttpPost(api.baseUrl + "/index.php/Index/qr_driod", Lookup(u"nobody")));
    EXPECT_EQ(unknown.Member("result").value_or("?"), "0");
    EXPECT_EQ(unknown.Member("msg").value_or("?"), "未找到该公众号");

    const JsonReply forged = ReadJsonReply(
        HttpPost(api.baseUrl + "/index.php/Index/qr_driod", {{"user_account", u"vorlane"}, {"token", u"0123"}}));
    EXPECT_EQ(forged.Member("result").value_or("?"), "0");
    EXPECT_EQ(forged.Member("msg").value_or("?"), "token验证失败");
}

TEST_F(HttpPostTest, UntrustedCertificateIsAFailure)
{
    Certificate other;
    ASSERT_TRUE(other.ok);
    VendorApi api(kData, &other);
    ASSERT_TRUE(api.Running());
    EXPECT_TRUE(HttpPost(api.baseUrl + "/index.php/Index/soft_version", {{"sn", u"qrcode"}}).isEmpty());
}

TEST_F(HttpPostTest, FailuresReturnWithinTheTimeOut)
{
    RawHttpServer silent({}, true);
    RawHttpServer error500(HttpReply(500, "text/html", "<html><body>Internal Server Error</body></html>"));
    RawHttpServer emptyBody(HttpReply(200, "application/json", ""));
    RawHttpServer truncated(HttpReply(200, "application/json", R"({"result":1,"info":"ab)"));

    // A port nobody listens on.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QString closed = QString("http://127.0.0.1:%1/x").arg(probe.serverPort());
    probe.close();

    struct Case {
        const char* name;
        QString url;
        bool emptyExpected;
    } cases[] = {
        {"unreachable", closed, true},
        {"never answers", silent.Url(), true},
        {"HTML 500", error500.Url(), false},
        {"empty body", emptyBody.Url(), true},
        {"truncated JSON", truncated.Url(), false},
        {"not a web address", "ftp://127.0.0.1/x", true},
    };
    for (const Case& c : cases) {
        QElapsedTimer clock;
        clock.start();
        const QString reply = HttpPost(c.url, {{"sn", u"qrcode"}});
        EXPECT_LT(clock.elapsed(), 4000) << c.name;
        EXPECT_EQ(reply.isEmpty(), c.emptyExpected) << c.name << ": " << reply.toStdString();
        EXPECT_FALSE(ReadJsonReply(reply).Member("result")) << c.name;
    }
    // The body of an error status is handed back as it is.
    EXPECT_TRUE(HttpPost(error500.Url(), {}).contains("Internal Server Error"));
}

// Whatever a server sends, the exchange ends by the deadline and nothing over
// 1 MiB is taken: such replies fail like an unreachable server.
TEST_F(HttpPostTest, OversizedOrEndlessRepliesFailByTheDeadline)
{
    const std::string megabyte(64 * 1024, '[');
    const std::string chunk = "10000\r\n" + std::string(0x10000, ' ') + "\r\n";
    const struct {
        const char* name;
        SocketServer::Behaviour behave;
        bool accepted;
    } cases[] = {
        {"1 MiB exactly", Answer(JsonReplyOf(1 << 20)), true},
        {"1 MiB and a byte", Answer(JsonReplyOf((1 << 20) + 1)), false},
        {"endless body", EndlessBody(kOkHead, megabyte), false},
        {"endless chunked body",
         EndlessBody("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: application/json\r\n\r\n", chunk),
         false},
        {"a length of 1 TB announced", Trickle("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n{", " ", 50),
         false},
        {"body a byte at a time", Trickle(kOkHead + R"({"result":1,"info":")", "x", 20), false},
        {"headers a line at a time", Trickle("HTTP/1.1 200 OK\r\n", "X-Slow: 1\r\n", 20), false},
        {"accepts and stays silent", Trickle("", "", 50), false},
    };
    for (const auto& c : cases) {
        SocketServer server(c.behave);
        ASSERT_NE(server.port, 0);
        QElapsedTimer clock;
        clock.start();
        const QString reply = HttpPost(server.Url(), {{"sn", u"qrcode"}});
        EXPECT_LT(clock.elapsed(), kTimeoutMs + 500) << c.name;
        EXPECT_EQ(server.requests, 1) << c.name;
        if (c.accepted) {
            EXPECT_EQ(reply.size(), 1 << 20) << c.name;
            EXPECT_EQ(ReadJsonReply(reply).Member("result").value_or("?"), "1") << c.name;
        } else {
            EXPECT_TRUE(reply.isEmpty()) << c.name << ": " << reply.size() << " characters";
        }
    }
}

// Redirects stay on the scheme, host and port asked for, five at most; the form
// is never sent anywhere else.
TEST_F(HttpPostTest, RedirectsStayWithTheServerAskedFor)
{
    SocketServer elsewhere(Answer(JsonReplyOf(64)));
    const struct {
        const char* name;
        SocketServer::Behaviour behave;
        QString path;
        int requests; // reaching the first server
        bool followed;
    } cases[] = {
        {"one hop", Hops(), "/hops/1", 2, true},
        {"five hops", Hops(), "/hops/5", 6, true},
        {"six hops", Hops(), "/hops/6", 6, false},
        {"to itself for ever", RedirectTo("http://127.0.0.1:{port}/loop"), "/loop", 6, false},
        {"another port", RedirectTo(elsewhere.Url().toStdString()), "/x", 1, false},
        {"another host, same port", RedirectTo("http://127.0.0.2:{port}/x"), "/x", 1, false},
    };
    for (const auto& c : cases) {
        SocketServer server(c.behave);
        // A server on another loopback address and the same port, where a
        // redirect that changed only the host would land.
        SocketServer twin(Answer(JsonReplyOf(64)), "127.0.0.2", server.port);
        ASSERT_EQ(twin.port, server.port);
        const int before = elsewhere.requests;
        QElapsedTimer clock;
        clock.start();
        const QString reply = HttpPost(server.Url(c.path), {{"sn", u"qrcode"}});
        EXPECT_LT(clock.elapsed(), kTimeoutMs + 500) << c.name;
        EXPECT_EQ(reply.isEmpty(), !c.followed) << c.name;
        EXPECT_EQ(server.requests, c.requests) << c.name;
        EXPECT_EQ(elsewhere.requests, before) << c.name;
        EXPECT_EQ(twin.requests, 0) << c.name;
    }
}

TEST_F(HttpPostTest, TimeOutVariableIsStrictAndClamped)
{
    const struct {
        const char* value;
        int ms;
    } cases[] = {
        {"", 10000},
        {"2500", 2500},
        {"0", 1},
        {"00001", 1},
        {"600000", 600000},
        {"600001", 600000},
        {"2147482648", 600000},
        {"99999999999999999999999", 600000},
        {"-5", 10000},
        {"+5", 10000},
        {" 5", 10000},
        {"5 ", 10000},
        {"5ms", 10000},
        {"1e3", 10000},
        {"0x10", 10000},
    };
    for (const auto& c : cases) {
        qputenv("VORLANE_HTTP_TIMEOUT_MS", c.value);
        EXPECT_EQ(netconfig::HttpTimeoutMs(), c.ms) << '"' << c.value << '"';
    }
    qputenv("VORLANE_HTTP_TIMEOUT_MS", QByteArray::number(kTimeoutMs));
}

TEST(NetConfig, EnvironmentOverridesTheBuiltInAddresses)
{
    qputenv("VORLANE_API_URL", "https://api.test:1234/");
    EXPECT_EQ(netconfig::ApiUrl("/index.php/Index/soft_version"), "https://api.test:1234/index.php/Index/soft_version");
    qunsetenv("VORLANE_API_URL");
    EXPECT_FALSE(netconfig::ApiBaseUrl().isEmpty());
    qputenv("VORLANE_WEBSITE_URL", "http://www.site.test");
    EXPECT_EQ(netconfig::UpdatePageUrl("57"), "https://www.site.test/index.php/Works/detail/sid/57");
    qunsetenv("VORLANE_WEBSITE_URL");
}

} // namespace
