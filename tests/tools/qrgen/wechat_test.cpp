// qrgen wechat: the account look-up through the vendor API, and what a server may print.
#include <gtest/gtest.h>

#include "TestServers.h"
#include "TestSupport.h"
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

const std::string kQrgen = QRGEN_PATH;

// Runs a command while this thread's event loop serves the test server.
std::string RunServed(const QString& command, const QStringList& args, const QStringList& env, int* status)
{
    QProcess p;
    p.setEnvironment(QProcess::systemEnvironment() + env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    p.start(command, args);
    loop.exec();
    *status = p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAll().toStdString();
}

TEST(QrgenWeChat, ServerTextsCannotDriveTheTerminal)
{
    struct Case {
        const char* msg;      // as the JSON reply writes it
        const char* shown;    // what qrgen prints
        bool payload = false; // the account's payload (info) under --payload, not a refusal (msg)
    } cases[] = {
        {R"(\u001b]0;owned\u0007\u001b[2Jgone)", R"(\x1b]0;owned\x07\x1b[2Jgone)"},
        {R"(a\u009b31mb\u007fc\r\nd)", R"(a\u009b31mb\x7fc\x0d\x0ad)"},
        {"未找到该公众号", "未找到该公众号"},
        {R"(http://weixin.qq.com/r/\u001b]0;owned\u0007x)", R"(http://weixin.qq.com/r/\x1b]0;owned\x07x)", true},
    };
    for (const Case& c : cases) {
        RawHttpServer server(
            HttpReply(200, "application/json",
                      QByteArray(c.payload ? R"({"result":1,"info":")" : R"({"result":0,"msg":")") + c.msg + "\"}"));
        QStringList args = {"wechat", "--account", "x"};
        if (c.payload) args << "--payload";
        int status = -1;
        const std::string out =
            RunServed(QString::fromStdString(kQrgen), args, {"VORLANE_API_URL=" + server.Url("")}, &status);
        EXPECT_EQ(out, std::string(c.shown) + "\n") << c.msg;
        EXPECT_EQ(status, c.payload ? 0 : 1);
    }
}

TEST(QrgenWeChat, WeChatLooksTheAccountUp)
{
    VendorApi api(R"({"accounts":{"vorlane":"http://weixin.qq.com/r/demo"}})");
    ASSERT_TRUE(api.Running());
    const std::string env = "VORLANE_API_URL=" + api.baseUrl.toStdString() + " ";
    int status = -1;
    EXPECT_EQ(Shell(env + QRGEN_PATH + " wechat --account vorlane --payload", &status),
              "http://weixin.qq.com/r/demo\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Shell(env + QRGEN_PATH + " wechat --account nobody 2>&1", &status), "未找到该公众号\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(
        Shell(std::string("VORLANE_API_URL=http://127.0.0.1:9 ") + QRGEN_PATH + " wechat --account x 2>&1", &status),
        "公众号信息获取失败,请检查网络后重试\n");
    EXPECT_EQ(status, 1);
}

} // namespace
