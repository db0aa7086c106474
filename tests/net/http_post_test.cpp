// HttpPost against real servers on loopback: the vendor API stand-in over
// HTTPS, and small servers that answer as a test wants.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtGlobal>

#include <string>

#include "HttpPost.h"
#include "JsonReply.h"
#include "Md5.h"
#include "NetConfig.h"
#include "SocketServer.h"
#include "TestServers.h"

namespace {

using namespace testsupport;

const char kData[] = R"({
  "update": {"result": 1, "version": "3.1.0", "sid": "57", "must": "0"},
  "accounts": {"vorlane": "http://weixin.qq.com/r/demo", "a&b=c+d%e f中文": "特殊账号的内容"}
})";

constexpr int kTimeoutMs = 1500;
// Time a busy machine may add to an exchange that ends by the deadline.
constexpr int kMarginMs = kTimeoutMs;

std::string JsonReplyOf(size_t bodySize)
{
    std::string body = R"({"result":1,"info":")";
    body.append(bodySize - body.size() - 2, 'x');
    body += "\"}";
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// Redirects /hops/N to /hops/N-1 on the same server with this status, and /hops/0 answers.
SocketServer::Behaviour Hops(int status = 307)
{
    return [status](int fd, const std::string& request, const std::atomic<bool>&) {
        const size_t at = request.find("/hops/");
        const int n = at == std::string::npos ? 0 : std::stoi(request.substr(at + 6));
        if (n == 0) Send(fd, JsonReplyOf(64));
        else
            Send(fd, "HTTP/1.1 " + std::to_string(status) + " Moved\r\nLocation: /hops/" + std::to_string(n - 1) +
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
    auto post = [&](const char* path, const FormFields& fields) {
        const Result<QString> reply = HttpPost(api.baseUrl + path, fields);
        EXPECT_TRUE(reply) << path << ": " << (reply ? "" : reply.error());
        return ReadJsonReply(reply.value_or(QString()));
    };

    const JsonReply version = post("/index.php/Index/soft_version", {{"sn", u"qrcode"}});
    EXPECT_EQ(version.Member("result").value_or("?"), "1");
    EXPECT_EQ(version.Member("info", "version").value_or("?"), "3.1.0");

    const JsonReply found = post("/index.php/Index/qr_driod", Lookup(u"vorlane"));
    EXPECT_EQ(found.Member("result").value_or("?"), "1");
    EXPECT_EQ(found.Member("info").value_or("?"), "http://weixin.qq.com/r/demo");

    // Every character that could split the form arrives unchanged, and its token matches.
    const JsonReply special = post("/index.php/Index/qr_driod", Lookup(u"a&b=c+d%e f中文"));
    EXPECT_EQ(special.Member("result").value_or("?"), "1");
    EXPECT_EQ(special.Member("info").value_or("?"), "特殊账号的内容");

    const JsonReply unknown = post("/index.php/Index/qr_driod", Lookup(u"nobody"));
    EXPECT_EQ(unknown.Member("result").value_or("?"), "0");
    EXPECT_EQ(unknown.Member("msg").value_or("?"), "未找到该公众号");

    const JsonReply forged = post("/index.php/Index/qr_driod", {{"user_account", u"vorlane"}, {"token", u"0123"}});
    EXPECT_EQ(forged.Member("result").value_or("?"), "0");
    EXPECT_EQ(forged.Member("msg").value_or("?"), "token验证失败");
}

TEST_F(HttpPostTest, UntrustedCertificateIsAFailure)
{
    Certificate other;
    ASSERT_TRUE(other.ok);
    VendorApi api(kData, &other);
    ASSERT_TRUE(api.Running());
    const Result<QString> reply = HttpPost(api.baseUrl + "/index.php/Index/soft_version", {{"sn", u"qrcode"}});
    ASSERT_FALSE(reply);
    EXPECT_NE(reply.error().find("certificate"), std::string::npos) << reply.error();
}

// A failure comes back with its reason; any reply, an empty or an error one
// included, comes back as it is.
TEST_F(HttpPostTest, FailuresAreToldApartFromReplies)
{
    SocketServer silent(Trickle("", "", 50));
    SocketServer error500(
        Answer("HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n\r\n<html>Internal Server Error</html>"));
    SocketServer emptyBody(Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
    SocketServer truncated(Answer("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n{\"result\":1,\"info\":\"ab"));

    // A port nobody listens on.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const std::string closed = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/x";
    probe.close();

    const struct {
        const char* name;
        std::string url;
        const char* reply; // nullptr: a failure
    } cases[] = {
        {"unreachable", closed, nullptr},
        {"never answers", silent.Url(), nullptr},
        {"error status", error500.Url(), "<html>Internal Server Error</html>"},
        {"empty body", emptyBody.Url(), ""},
        {"truncated JSON", truncated.Url(), "{\"result\":1,\"info\":\"ab"},
        {"not a web address", "ftp://127.0.0.1/x", nullptr},
        {"no host", "http:///x", nullptr},
    };
    for (const auto& c : cases) {
        QElapsedTimer clock;
        clock.start();
        const Result<QString> reply = HttpPost(QString::fromStdString(c.url), {{"sn", u"qrcode"}});
        EXPECT_LT(clock.elapsed(), kTimeoutMs + kMarginMs) << c.name;
        ASSERT_EQ(reply.has_value(), c.reply != nullptr) << c.name;
        if (reply) EXPECT_EQ(reply->toStdString(), c.reply) << c.name;
        else EXPECT_FALSE(reply.error().empty()) << c.name;
    }
}

// The one header the client names is sent as written, the form as its bytes,
// and only 307 and 308 repeat the POST on the next hop.
TEST_F(HttpPostTest, WhatGoesOnTheWire)
{
    const struct {
        int status;
        const char* method;
    } cases[] = {{301, "GET"}, {302, "GET"}, {303, "GET"}, {307, "POST"}, {308, "POST"}};
    for (const auto& c : cases) {
        SocketServer server(Hops(c.status));
        ASSERT_TRUE(HttpPost(QString::fromStdString(server.Url("/hops/0")), {{"a", u"x y&z"}, {"b", u"中"}}));
        const std::string first = server.LastRequest();
        EXPECT_EQ(first.rfind("POST /hops/0 HTTP/1.1\r\n", 0), 0u) << first;
        EXPECT_NE(first.find("\r\nCONTENT-TYPE: application/x-www-form-urlencoded\r\n"), std::string::npos) << first;
        EXPECT_EQ(first.substr(first.find("\r\n\r\n") + 4), "a=x%20y%26z&b=%D6%D0");

        ASSERT_TRUE(HttpPost(QString::fromStdString(server.Url("/hops/1")), {{"sn", u"qrcode"}})) << c.status;
        const std::string second = server.LastRequest();
        EXPECT_EQ(second.rfind(std::string(c.method) + " /hops/0 HTTP/1.1\r\n", 0), 0u) << c.status << second;
        EXPECT_EQ(second.substr(second.find("\r\n\r\n") + 4), c.method == std::string("POST") ? "sn=qrcode" : "")
            << c.status;
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
        std::string path;
        int requests; // reaching the first server
        bool followed;
    } cases[] = {
        {"one hop", Hops(), "/hops/1", 2, true},
        {"five hops", Hops(), "/hops/5", 6, true},
        {"six hops", Hops(), "/hops/6", 6, false},
        {"to itself for ever", RedirectTo("http://127.0.0.1:{port}/loop"), "/loop", 6, false},
        {"another port", RedirectTo(elsewhere.Url()), "/x", 1, false},
        {"another host, same port", RedirectTo("http://127.0.0.2:{port}/x"), "/x", 1, false},
        {"another scheme", RedirectTo("https://127.0.0.1:{port}/x"), "/x", 1, false},
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
        const Result<QString> reply = HttpPost(QString::fromStdString(server.Url(c.path)), {{"sn", u"qrcode"}});
        EXPECT_LT(clock.elapsed(), kTimeoutMs + kMarginMs) << c.name;
        EXPECT_EQ(reply.has_value(), c.followed) << c.name;
        EXPECT_EQ(server.requests, c.requests) << c.name;
        EXPECT_EQ(elsewhere.requests, before) << c.name;
        EXPECT_EQ(twin.requests, 0) << c.name;
    }
}

// The proxy variables are honoured; an https address without an https proxy
// goes through http_proxy, and no_proxy exempts a host.
TEST_F(HttpPostTest, ProxyFromTheEnvironment)
{
    SocketServer proxy(Answer(JsonReplyOf(64)));
    SocketServer direct(Answer(JsonReplyOf(64)));
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port);
    const struct {
        const char* variable;
        std::string url;
        const char* requestLine; // as the proxy sees it; nullptr: not through the proxy
    } cases[] = {
        {"http_proxy", "http://vendor.invalid/x", "POST http://vendor.invalid/x HTTP/1.1\r\n"},
        {"http_proxy", "https://vendor.invalid/x", "CONNECT vendor.invalid:443 HTTP/1.1\r\n"},
        {"https_proxy", "https://vendor.invalid/x", "CONNECT vendor.invalid:443 HTTP/1.1\r\n"},
        {"http_proxy", direct.Url("/x", "localhost"), nullptr},
    };
    for (const char* other : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(other);
    qputenv("no_proxy", "127.0.0.2,localhost");
    for (const auto& c : cases) {
        qputenv(c.variable, QByteArray::fromStdString(proxyUrl));
        const int before = proxy.requests;
        const Result<QString> reply = HttpPost(QString::fromStdString(c.url), {{"sn", u"qrcode"}});
        qunsetenv(c.variable);
        EXPECT_EQ(proxy.requests - before, c.requestLine ? 1 : 0) << c.variable << ' ' << c.url;
        if (c.requestLine) EXPECT_EQ(proxy.LastRequest().rfind(c.requestLine, 0), 0u) << proxy.LastRequest();
        else EXPECT_TRUE(reply) << c.url;
    }
    qunsetenv("no_proxy");
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
