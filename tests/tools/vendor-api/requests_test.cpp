// What the stand-in answers to requests on the wire, well-formed or not.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "VendorApiClient.h"

namespace {

using namespace testsupport;

std::string Msg(const QByteArray& reply)
{
    return ReadJsonReply(QString::fromUtf8(BodyOf(reply))).Member("msg").value_or("<none>").toStdString();
}

TEST(VendorApiServer, SurvivesBadRequestsAndServesConcurrentOnes)
{
    VendorApi api(kDemoData);
    ASSERT_TRUE(api.Running());
    const quint16 port = PortOf(api);

    QByteArray chunked = "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 25; ++i) chunked += "1000\r\n" + QByteArray(4096, 'a') + "\r\n"; // 100 KiB, no length given
    chunked += "0\r\n\r\n";
    struct Bad {
        QByteArray request;
        const char* status; // empty: no reply at all
        bool json;          // the server's own refusal, as JSON
    };
    const Bad bad[] = {
        {"GET /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "HTTP/1.1 405", true},
        {"POST /elsewhere HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", "HTTP/1.1 404", true},
        {"POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\nConnection: "
         "close\r\n\r\ntoken=%G1",
         "HTTP/1.1 200", true},
        {"POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nContent-Length: 70000\r\nConnection: close\r\n\r\n" +
             QByteArray(70000, 'a'),
         "HTTP/1.1 413", true},
        {chunked, "HTTP/1.1 413", true},
        {"complete nonsense\r\n\r\n", "HTTP/1.1 400", true},
        {QByteArray("\x00\x01\x02\xFF", 4), "", false}, // never a whole line: no answer yet
    };
    for (int round = 0; round < 3; ++round)
        for (const Bad& b : bad) {
            const QByteArray reply = Raw(port, b.request);
            EXPECT_EQ(Status(reply), b.status) << b.request.left(40).toStdString();
            if (b.json) {
                EXPECT_TRUE(ReadJsonReply(QString::fromUtf8(BodyOf(reply))).Member("result"));
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
            if (ReadJsonReply(QString::fromUtf8(r->readAll())).Member("info").value_or("") ==
                "http://weixin.qq.com/r/demo")
                ++answered;
            if (std::all_of(replies.begin(), replies.end(), [](const auto& x) { return x->isFinished(); })) loop.quit();
        });
    }
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(answered, 50);
}

// Too many header lines, or too many header bytes, are refused; the next client is served.
TEST(VendorApiServer, HeaderBounds)
{
    VendorApi api(kDemoData);
    ASSERT_TRUE(api.Running());
    const quint16 port = PortOf(api);
    const QByteArray start = "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
    QByteArray manyLines, longHeaders;
    for (int i = 0; i < 100; ++i) manyLines += "X-Filler-" + QByteArray::number(i) + ": v\r\n";
    for (int i = 0; i < 16; ++i)
        longHeaders += "X-Long-" + QByteArray::number(i) + ": " + QByteArray(4000, 'v') + "\r\n";
    struct Case {
        QByteArray headers;
        bool json; // the JSON refusal names the reason
    };
    const Case cases[] = {{manyLines, true}, {longHeaders, true}};
    for (const Case& c : cases) {
        const QByteArray reply = Raw(port, start + c.headers + "Content-Length: 0\r\n\r\n");
        EXPECT_EQ(Status(reply), "HTTP/1.1 431") << c.headers.left(30).toStdString();
        if (c.json) {
            EXPECT_EQ(Msg(reply), "请求头过大");
        }
        EXPECT_TRUE(GoodClientAnswered(port));
    }
}

// A request that could be framed or routed two ways gets one 400 and a closed connection,
// so nothing after it (a smuggled second request) is ever answered.
TEST(VendorApiServer, AmbiguousRequestsGetOne400AndAClose)
{
    VendorApi api(kDemoData);
    ASSERT_TRUE(api.Running());
    const QByteArray body = BodyOf(LookupRequest());
    const QByteArray line = "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\n";
    const QByteArray length = QByteArray::number(body.size());
    const QByteArray smuggled =
        "POST /index.php/Index/soft_version HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\n\r\nsn=qrcode";
    const QByteArray chunk = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
    const QByteArray cases[] = {
        line + "Content-Length: " + length + "\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk + smuggled,
        line + "Transfer-Encoding: chunked\r\nContent-Length: " + length + "\r\n\r\n" + chunk + smuggled,
        line + "Content-Length: " + length + "\r\nContent-Length: " + QByteArray::number(body.size() + 1) + "\r\n\r\n" +
            body + "&",
        line + "Content-Length : " + length + "\r\n\r\n" + body,
        line + "Content-Length: +" + length + "\r\n\r\n" + body,
        line + "Content-Length: 0x10\r\n\r\n" + body,
        "POST /index.php/Index/qr_driod%00x HTTP/1.1\r\nHost: x\r\nContent-Length: " + length + "\r\n\r\n" + body,
        "POST /index.php/Index/qr_driod%zz HTTP/1.1\r\nHost: x\r\nContent-Length: " + length + "\r\n\r\n" + body,
        line + "Transfer-Encoding: gzip\r\n\r\n" + body,
        line + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk,
        line + "Content-Length: " + length + "\r\n X-Folded: yes\r\n\r\n" + body,
        line + "Content-Length: " + length + "\nX-Bare: lf\r\n\r\n" + body,
        "POST /index.php/Index/qr_driod HTTP/1.1\r\nContent-Length: " + length + "\r\n\r\n" + body, // no Host
        line + "Host: y\r\nContent-Length: " + length + "\r\n\r\n" + body,
        line + "Transfer-Encoding: chunked\r\n\r\nzz\r\n" + body + "\r\n0\r\n\r\n",
    };
    for (const QByteArray& request : cases) {
        // Well within the time a request may take, so a wait for more bytes shows as "not closed".
        const Outcome o = Exchange(PortOf(api), request, 3000);
        EXPECT_TRUE(o.reply.startsWith("HTTP/1.1 400 ")) << request.toStdString() << "\n-> " << o.reply.toStdString();
        EXPECT_EQ(o.reply.count("HTTP/1."), 1) << request.toStdString() << "\n-> " << o.reply.toStdString();
        EXPECT_EQ(Msg(o.reply), "请求格式错误") << request.toStdString();
        EXPECT_TRUE(o.closed) << request.toStdString();
    }
    EXPECT_TRUE(GoodClientAnswered(PortOf(api)));
}

// Keep-alive, pipelining and a chunked body, each answered once and in order.
TEST(VendorApiServer, PipelinedAndChunkedRequestsAreEachAnswered)
{
    VendorApi api(kDemoData);
    ASSERT_TRUE(api.Running());
    const QByteArray body = BodyOf(LookupRequest());
    const QByteArray keepAlive =
        "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\n\r\n" + body;
    const QByteArray chunked =
        "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n5;x=y\r\n" +
        body.left(5) + "\r\n" + QByteArray::number(body.size() - 5, 16) + "\r\n" + body.mid(5) +
        "\r\n0\r\nX-Trailer: t\r\n\r\n";
    const Outcome o = Exchange(PortOf(api), keepAlive + chunked + "\r\n" + LookupRequest(), 5000);
    EXPECT_EQ(o.reply.count("HTTP/1.1 200 OK"), 3) << o.reply.toStdString();
    EXPECT_EQ(o.reply.count("weixin.qq.com/r/demo"), 3) << o.reply.toStdString();
    EXPECT_TRUE(o.closed); // the last one asked for it
}

} // namespace
