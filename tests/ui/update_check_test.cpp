// The start-up version check against a vendor-api the test starts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include "FakeServices.h"
#include "Form1.h"
#include "TestServers.h"

namespace {

using namespace testsupport;

struct Outcome {
    std::vector<FakeServices::Box> boxes;
    std::string status;
    bool enabled = false;
    int quits = 0;
    std::vector<QUrl> opened;
    bool timerActive = true;
};

// Loads a window against the given API address, lets the timer fire once.
Outcome Check(const QString& apiUrl, std::deque<bool> answers = {})
{
    qputenv("VORLANE_API_URL", apiUrl.toUtf8());
    qputenv("VORLANE_WEBSITE_URL", "http://studio.test");
    qputenv("VORLANE_HTTP_TIMEOUT_MS", "1500");
    FakeServices services;
    services.answers = std::move(answers);
    Outcome out;
    {
        Form1 form(services);
        form.Form_Load();
        EXPECT_FALSE(form.Command1->isEnabled()); // disabled until the check ends
        EXPECT_TRUE(form.Timer2->isActive());
        // Until the check has ended one way or the other (at most 5 s).
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000 && !services.quits && !form.Command1->isEnabled())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::processEvents();
        out.boxes = services.boxes;
        out.status = form.StatusText().toStdString();
        out.enabled = form.Command1->isEnabled() && form.Command2->isEnabled() && form.Command3->isEnabled() &&
                      form.Command4->isEnabled();
        out.quits = services.quits;
        out.opened = services.opened;
        out.timerActive = form.Timer2->isActive();
        services.answers = {true};
        form.close();
    }
    return out;
}

QString Data(const char* version, const char* must, int result = 1)
{
    return QString(R"({"update":{"result":%1,"version":"%2","sid":"57","must":"%3"}})").arg(result).arg(version, must);
}

TEST(UpdateCheck, CurrentVersion)
{
    VendorApi api(Data("3.1.0", "0"));
    ASSERT_TRUE(api.Running());
    const Outcome o = Check(api.baseUrl);
    EXPECT_EQ(o.status, "当前软件为最新版本,欢迎使用Vorlane软件..");
    EXPECT_TRUE(o.boxes.empty());
    EXPECT_TRUE(o.enabled);
    EXPECT_EQ(o.quits, 0);
    EXPECT_FALSE(o.timerActive);
}

TEST(UpdateCheck, OptionalUpdateDeclined)
{
    VendorApi api(Data("3.0.9", "0")); // an older version is offered like a newer one
    ASSERT_TRUE(api.Running());
    const Outcome o = Check(api.baseUrl, {false});
    ASSERT_EQ(o.boxes.size(), 1u);
    EXPECT_EQ(o.boxes[0].text, "发现最新版本3.0.9，是否现在更新?");
    EXPECT_EQ(o.boxes[0].title, "提示");
    EXPECT_TRUE(o.boxes[0].question);
    EXPECT_EQ(o.status, "欢迎使用Vorlane软件..");
    EXPECT_TRUE(o.enabled);
    EXPECT_EQ(o.quits, 0);
}

TEST(UpdateCheck, UpdateAcceptedOpensThePageAndEnds)
{
    VendorApi api(Data("3.2.0", "0"));
    ASSERT_TRUE(api.Running());
    const Outcome o = Check(api.baseUrl, {true});
    ASSERT_EQ(o.opened.size(), 1u);
    EXPECT_EQ(o.opened[0], QUrl("https://studio.test/index.php/Works/detail/sid/57"));
    EXPECT_EQ(o.quits, 1);
    EXPECT_FALSE(o.enabled);
    EXPECT_EQ(o.boxes.size(), 1u); // no exit question
}

TEST(UpdateCheck, MandatoryUpdateDeclinedEnds)
{
    VendorApi api(Data("3.2.0", "1"));
    ASSERT_TRUE(api.Running());
    const Outcome o = Check(api.baseUrl, {false});
    EXPECT_EQ(o.quits, 1);
    EXPECT_TRUE(o.opened.empty());
    EXPECT_FALSE(o.enabled);
    EXPECT_EQ(o.boxes.size(), 1u);
}

TEST(UpdateCheck, FailuresSayTheCheckFailedAndEnableTheButtons)
{
    VendorApi refusing(Data("3.1.0", "0", 0));
    ASSERT_TRUE(refusing.Running());
    RawHttpServer html(HttpReply(500, "text/html", "<html>error</html>"));
    RawHttpServer partial(HttpReply(200, "application/json", R"({"result":1,"info":{"version":"3.1.0"}})"));
    for (const QString& url : {refusing.baseUrl, QString("http://127.0.0.1:9"), html.Url(""), partial.Url("")}) {
        const Outcome o = Check(url);
        ASSERT_EQ(o.boxes.size(), 1u) << url.toStdString();
        EXPECT_EQ(o.boxes[0].text, "检测失败,请先使用当前版本");
        EXPECT_EQ(o.boxes[0].title, "提示");
        EXPECT_EQ(o.status, "检测失败,请先使用当前版本"); // the status no longer claims a running check
        EXPECT_TRUE(o.enabled);
        EXPECT_EQ(o.quits, 0);
        EXPECT_FALSE(o.timerActive);
    }
}

} // namespace
