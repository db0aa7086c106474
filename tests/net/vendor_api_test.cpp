#include <gtest/gtest.h>

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "FormEncoding.h"
#include "JsonReply.h"
#include "Mymd5.h"
#include "TestServers.h"
#include "VendorApi.h"

namespace {

using namespace testsupport;

VendorData Demo()
{
    VendorData d;
    d.accounts[u"vorlane"] = "http://weixin.qq.com/r/demo";
    d.accounts[u"中文号"] = "中文内容";
    return d;
}

std::string Token(const std::u16string& account)
{
    return Md5Hex(account + u"vokha", 32);
}

std::string Msg(const std::string& json)
{
    return ReadJsonReply(QString::fromStdString(json)).Member("msg").value_or("<none>").toStdString();
}

TEST(VendorApiHandlers, LookupRefusalsAndSuccess)
{
    const VendorData d = Demo();
    const std::string ok = HandleLookup(d, "user_account=vorlane&token=" + Token(u"vorlane"));
    EXPECT_EQ(ReadJsonReply(QString::fromStdString(ok)).Member("info").value_or(""), "http://weixin.qq.com/r/demo");
    const std::string chinese = HandleLookup(d, FormBody({{"user_account", u"中文号"}, {"token", u""}}));
    EXPECT_EQ(Msg(chinese), "token验证失败");
    const std::string token = Token(u"中文号");
    const std::u16string t16(token.begin(), token.end());
    EXPECT_EQ(ReadJsonReply(QString::fromStdString(HandleLookup(d, FormBody({{"user_account", u"中文号"}, {"token", t16}}))))
                  .Member("info")
                  .value_or(""),
              "中文内容");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=nobody&token=" + Token(u"nobody"))), "未找到该公众号");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=vorlane")), "缺少参数");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=%zz&token=1")), "请求格式错误");
    EXPECT_EQ(Msg(HandleLookup(d, "user_account=%81&token=1")), "请求格式错误"); // half a GBK character
}

TEST(VendorApiHandlers, VersionEndpoint)
{
    VendorData d = Demo();
    const JsonReply r = ReadJsonReply(QString::fromStdString(HandleVersion(d, "sn=qrcode")));
    EXPECT_EQ(r.Member("result").value_or(""), "1");
    EXPECT_EQ(r.Member("info", "version").value_or(""), "3.1.0");
    EXPECT_EQ(r.Member("info", "sid").value_or(""), "57");
    EXPECT_EQ(r.Member("info", "must").value_or(""), "0");
    EXPECT_EQ(Msg(HandleVersion(d, "sn=other")), "未知的软件");
    EXPECT_EQ(Msg(HandleVersion(d, "")), "缺少参数");
    d.updateResult = 0;
    EXPECT_EQ(ReadJsonReply(QString::fromStdString(HandleVersion(d, "sn=qrcode"))).Member("result").value_or(""), "0");
}

// Sends raw bytes and returns whatever comes back before the server closes.
QByteArray Raw(quint16 port, const QByteArray& request)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(3000)) return {};
    s.write(request);
    s.waitForBytesWritten(3000);
    QByteArray out;
    while (s.waitForReadyRead(700)) out += s.readAll();
    return out;
}

TEST(VendorApiServer, SurvivesBadRequestsAndServesConcurrentOnes)
{
    VendorApi api(R"({"accounts":{"vorlane":"http://weixin.qq.com/r/demo"}})");
    ASSERT_TRUE(api.Running());
    const quint16 port = static_cast<quint16>(QUrl(api.baseUrl).port());

    const QByteArray bad[] = {
        "GET /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
        "POST /elsewhere HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
        "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\nConnection: close\r\n\r\ntoken=%G1",
        "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nContent-Length: 70000\r\nConnection: close\r\n\r\n" +
            QByteArray(70000, 'a'),
        "complete nonsense\r\n\r\n",
        QByteArray("\x00\x01\x02\xFF", 4),
    };
    for (int round = 0; round < 3; ++round)
        for (const QByteArray& request : bad) {
            const QByteArray reply = Raw(port, request);
            if (reply.startsWith("HTTP/1.1 2") || reply.startsWith("HTTP/1.1 4")) {
                const QByteArray body = reply.mid(reply.indexOf("\r\n\r\n") + 4);
                EXPECT_TRUE(ReadJsonReply(QString::fromUtf8(body)).Member("result")) << request.left(40).toStdString();
            }
        }
    ASSERT_EQ(api.process.state(), QProcess::Running);

    // 50 requests at once, each answered.
    QNetworkAccessManager manager;
    const QByteArray body = QByteArray::fromStdString("user_account=vorlane&token=" + Token(u"vorlane"));
    int answered = 0;
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    QEventLoop loop;
    for (int i = 0; i < 50; ++i) {
        QNetworkRequest request(QUrl(api.baseUrl + "/index.php/Index/qr_driod"));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        replies.emplace_back(manager.post(request, body));
        QObject::connect(replies.back().get(), &QNetworkReply::finished, &loop, [&, r = replies.back().get()] {
            if (ReadJsonReply(QString::fromUtf8(r->readAll())).Member("info").value_or("") == "http://weixin.qq.com/r/demo")
                ++answered;
            if (std::all_of(replies.begin(), replies.end(), [](const auto& x) { return x->isFinished(); })) loop.quit();
        });
    }
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(answered, 50);
}

} // namespace
