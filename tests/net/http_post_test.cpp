// HttpPost against real servers on loopback: the vendor API stand-in over
// HTTPS, and servers that misbehave.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QtGlobal>

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

class HttpPostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        cert = std::make_unique<Certificate>();
        qputenv("VORLANE_CA_FILE", cert->certPath.toUtf8());
        qputenv("VORLANE_HTTP_TIMEOUT_MS", "1500");
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

    const JsonReply version = ReadJsonReply(HttpPost(api.baseUrl + "/index.php/Index/soft_version", {{"sn", u"qrcode"}}));
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
