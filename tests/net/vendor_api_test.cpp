#include <gtest/gtest.h>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include "FormEncoding.h"
#include "JsonReply.h"
#include "Md5.h"
#include "TestServers.h"
#include "VendorApi.h"

#include <sys/stat.h>

namespace {

using namespace testsupport;

VendorData Demo()
{
    VendorData d;
    d.accounts[u"vorlane"] = "http://weixin.qq.com/r/demo";
    d.accounts[u"中文号"] = "中文内容";
    return d;
}

std::string Token(const std::u16string& account) { return Md5Hex(account + u"vokha", 32); }

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
    EXPECT_EQ(
        ReadJsonReply(QString::fromStdString(HandleLookup(d, FormBody({{"user_account", u"中文号"}, {"token", t16}}))))
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
    d.updateResult = ReplyValue::FromJson("0");
    EXPECT_EQ(ReadJsonReply(QString::fromStdString(HandleVersion(d, "sn=qrcode"))).Member("result").value_or(""), "0");
}

// The data file's values reach the client as the file wrote them (same JSON type
// and value); a result that reads "0", as number or text, is a refusal.
TEST(VendorApiHandlers, DataFileValuesPassThrough)
{
    struct Case {
        const char* data;
        bool lookup; // else the version endpoint
        const char* object;
        const char* member;
        std::string expectedJson;
    };
    const std::string programVersion = "\"" + std::string(kProgramVersion) + "\"";
    const Case cases[] = {
        {R"({"update":{"sid":1234567}})", false, "info", "sid", "1234567"},
        {R"({"update":{"sid":"0057"}})", false, "info", "sid", R"("0057")"},
        {R"({"update":{"version":3.2,"must":1}})", false, "info", "version", "3.2"},
        {R"({"update":{"version":3.2,"must":1}})", false, "info", "must", "1"},
        {R"({"update":{"must":0}})", false, "info", "must", "0"},
        {R"({"update":{"result":"0","msg":"停用"}})", false, "", "result", R"("0")"},
        {R"({"update":{"result":"0","msg":"停用"}})", false, "", "msg", R"("停用")"},
        {R"({"update":{"result":-0.0}})", false, "", "msg", R"("检测失败")"},
        {R"({"update":{"result":"ok"}})", false, "info", "version", programVersion},
        {R"({"accounts":{"12345":100000}})", true, "", "info", "100000"},
        {R"({"accounts":{"12345":1e21}})", true, "", "info", "1e21"},
        {R"({"accounts":{"12345":"0"}})", true, "", "info", R"("0")"},
    };
    const std::string lookup = "user_account=12345&token=" + Token(u"12345");
    for (const Case& c : cases) {
        std::string why;
        const auto data = ParseVendorData(c.data, why);
        ASSERT_TRUE(data) << c.data << ": " << why;
        const std::string reply = c.lookup ? HandleLookup(*data, lookup) : HandleVersion(*data, "sn=qrcode");
        QJsonObject at = QJsonDocument::fromJson(QByteArray::fromStdString(reply)).object();
        if (*c.object) at = at.value(c.object).toObject();
        const QJsonValue expected =
            QJsonDocument::fromJson(QByteArray::fromStdString("[" + c.expectedJson + "]")).array().first();
        EXPECT_EQ(at.value(c.member), expected) << c.data << " " << c.member << " in " << reply;
    }
    std::string why;
    EXPECT_FALSE(ParseVendorData(R"({"update":{"sid":[1]}})", why));
    EXPECT_FALSE(ParseVendorData(R"({"accounts":{"a":null}})", why));
    EXPECT_FALSE(ParseVendorData("[1]", why));
}

// Sends raw bytes and returns whatever comes back before the server closes.
QByteArray Raw(quint16 port, const QByteArray& request, const QHostAddress& host = QHostAddress::LocalHost)
{
    QTcpSocket s;
    s.connectToHost(host, port);
    if (!s.waitForConnected(3000)) return {};
    s.write(request);
    s.waitForBytesWritten(3000);
    QByteArray out;
    while (s.waitForReadyRead(700)) out += s.readAll();
    return out;
}

QByteArray Status(const QByteArray& reply) { return reply.left(12); }
QByteArray BodyOf(const QByteArray& reply) { return reply.mid(reply.indexOf("\r\n\r\n") + 4); }

const char kDemoData[] = R"({"accounts":{"vorlane":"http://weixin.qq.com/r/demo"}})";

// One well-behaved look-up; true when it comes back with the account's text.
bool GoodClientAnswered(quint16 port, const QHostAddress& host = QHostAddress::LocalHost)
{
    const QByteArray body = QByteArray::fromStdString("user_account=vorlane&token=" + Token(u"vorlane"));
    const QByteArray reply = Raw(port,
                                 "POST /index.php/Index/qr_driod HTTP/1.1\r\nHost: x\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\nConnection: close\r\n"
                                 "Content-Length: " +
                                     QByteArray::number(body.size()) + "\r\n\r\n" + body,
                                 host);
    return ReadJsonReply(QString::fromUtf8(BodyOf(reply))).Member("info").value_or("") == "http://weixin.qq.com/r/demo";
}

quint16 PortOf(const VendorApi& api) { return static_cast<quint16>(QUrl(api.baseUrl).port()); }

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
        // A request line the HTTP library cannot parse gets the library's own page.
        {"complete nonsense\r\n\r\n", "HTTP/1.1 400", false},
        {QByteArray("\x00\x01\x02\xFF", 4), "", false},
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

// Start-up refuses what it cannot serve: one line on stderr, exit 1, never a half-started server.
TEST(VendorApiServer, StartUpRefusals)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.json");
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kDemoData);
    }
    const QString array = dir.filePath("array.json");
    {
        QFile f(array);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[]");
    }
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString oversize = dir.filePath("oversize.json");
    {
        QFile f(oversize);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(64 * 1024 * 1024 + 1)); // sparse: costs no disk
    }
    QTcpServer other; // any listener holds the port, not only another vendor-api
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, 0));
    VendorApi first(kDemoData);
    ASSERT_TRUE(first.Running());

    const QString busy = "127.0.0.1:" + QString::number(other.serverPort());
    const QString taken = "127.0.0.1:" + QString::number(PortOf(first));
    const QStringList cases[] = {
        {"--listen", busy, "--data", good},
        {"--listen", taken, "--data", good},
        {"--listen", "127.0.0.1:80abc", "--data", good},
        {"--listen", "127.0.0.1:65536", "--data", good},
        {"--listen", "127.0.0.1:-1", "--data", good},
        {"--listen", "127.0.0.1: 80", "--data", good},
        {"--listen", "127.0.0.1", "--data", good},
        {"--listen", "127.0.0.1:", "--data", good},
        {"--listen", ":8080", "--data", good},
        {"--listen", "::1:8080", "--data", good},
        {"--listen", "[::1]8080", "--data", good},
        {"--listen", "127.0.0.1:0", "--data", fifo},
        {"--listen", "127.0.0.1:0", "--data", dir.path()},
        {"--listen", "127.0.0.1:0", "--data", "/dev/zero"},
        {"--listen", "127.0.0.1:0", "--data", oversize},
        {"--listen", "127.0.0.1:0", "--data", array},
        {"--listen", "127.0.0.1:0", "--data", dir.filePath("missing.json")},
        {"--listen", "127.0.0.1:0", "--data", good, "--cert", good},
    };
    for (const QStringList& args : cases) {
        QProcess p;
        p.start(VENDOR_API_PATH, args);
        const bool ended = p.waitForFinished(10000);
        if (!ended) p.kill(), p.waitForFinished(3000);
        EXPECT_TRUE(ended) << args.join(' ').toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << args.join(' ').toStdString();
        EXPECT_EQ(p.exitCode(), 1) << args.join(' ').toStdString();
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(err.count('\n'), 1) << args.join(' ').toStdString() << ": " << err.toStdString();
        EXPECT_TRUE(err.startsWith("vendor-api: ")) << err.toStdString();
        EXPECT_FALSE(err.contains("no error")) << err.toStdString(); // the reason, not the parser's all-clear
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << args.join(' ').toStdString();
    }
    // The first server kept its port and still answers.
    EXPECT_TRUE(GoodClientAnswered(PortOf(first)));
}

TEST(VendorApiServer, HelpAndVersionPrintAndExit)
{
    const std::pair<QString, QByteArray> cases[] = {{"--help", "usage: vendor-api "},
                                                    {"-h", "usage: vendor-api "},
                                                    {"--version", QByteArray("vendor-api ") + kProgramVersion + "\n"},
                                                    {"-V", QByteArray("vendor-api ") + kProgramVersion + "\n"}};
    for (const auto& [option, printed] : cases) {
        QProcess p;
        p.start(VENDOR_API_PATH, {option});
        ASSERT_TRUE(p.waitForFinished(10000)) << option.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << option.toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(printed)) << option.toStdString();
    }
}

TEST(VendorApiServer, ServesAnIpv6Literal)
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHostIPv6, 0)) GTEST_SKIP() << "no IPv6 loopback here";
    probe.close();
    QTemporaryDir dir;
    QFile f(dir.filePath("data.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kDemoData);
    f.close();
    QProcess p;
    p.start(VENDOR_API_PATH, {"--listen", "[::1]:0", "--data", f.fileName()});
    ASSERT_TRUE(p.waitForReadyRead(10000));
    const QString line = QString::fromUtf8(p.readLine()).trimmed();
    const QUrl url(line.mid(QString("listening on ").size()));
    EXPECT_TRUE(line.startsWith("listening on http://[::1]:")) << line.toStdString();
    EXPECT_TRUE(GoodClientAnswered(static_cast<quint16>(url.port()), QHostAddress::LocalHostIPv6));
    p.kill();
    p.waitForFinished(5000);
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
        bool json; // counted by the server itself; a header block over the memory bound is the library's refusal
    };
    const Case cases[] = {{manyLines, true}, {longHeaders, false}};
    for (const Case& c : cases) {
        const QByteArray reply = Raw(port, start + c.headers + "Content-Length: 0\r\n\r\n");
        EXPECT_EQ(Status(reply), "HTTP/1.1 431") << c.headers.left(30).toStdString();
        if (c.json) {
            EXPECT_EQ(Msg(BodyOf(reply).toStdString()), "请求头过大");
        }
        EXPECT_TRUE(GoodClientAnswered(port));
    }
}

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

} // namespace
