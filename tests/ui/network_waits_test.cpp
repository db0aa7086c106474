// The window's waits for the network, driven by real input: the update check
// and an account look-up never nest, and ending the program drops the wait.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include "Form1.h"
#include "FormServices.h"
#include "Interaction.h"
#include "Readers.h"

namespace {

using namespace testsupport;

const QString kExit = "是否确定退出软件?";

// Replies of the vendor API that would each open a box, or render, when they arrive.
QByteArray Reply(const QByteArray& path, bool offerUpdate)
{
    if (path.endsWith("soft_version"))
        return offerUpdate ? R"({"result":1,"info":{"version":"3.2.0","sid":"57","must":"0"}})"
                           : R"({"result":1,"info":{"version":"3.1.0","sid":"57","must":"0"}})";
    return offerUpdate ? R"({"result":0,"msg":"未找到该公众号"})" : R"({"result":1,"info":"late payload"})";
}

void TypeAccount(Form1& form)
{
    QTest::mouseClick(form.Controls().kindTabs, Qt::LeftButton, {}, form.Controls().kindTabs->tabRect(8).center());
    QLineEdit* account = form.findChild<QLineEdit*>("Text18");
    QTest::mouseClick(account, Qt::LeftButton);
    QTest::keyClicks(account, "vorlane");
}

TEST(NetworkWaits, TheUpdateCheckAndALookUpNeverNest)
{
    LateServer server(1200, [](const QByteArray& path, const QByteArray&) { return Reply(path, false); });
    qputenv("VORLANE_API_URL", server.Url().toUtf8());
    qputenv("VORLANE_HTTP_TIMEOUT_MS", "5000");
    DesktopServices services;
    Form1 form(services);
    form.Start(); // the update check is due in a second
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    TypeAccount(form);
    QMenu* menu = form.findChild<QMenu*>("menu1");
    bool lookedUp = false;
    std::string otherKind;
    int requestsBefore = -1, requestsAfter = -1;
    // The look-up waits from the start to 1.2 s, across the timer's first tick.
    QTimer::singleShot(0, &form, [&] {
        ChooseFromMenu(form.menuBar(), menu->menuAction(), form.Controls().generateAction);
        lookedUp = true;
    });
    // While the check waits: a look-up is ignored, the other kinds still generate.
    QTimer::singleShot(2400, &form, [&] {
        requestsBefore = server.requests;
        ChooseFromMenu(form.menuBar(), menu->menuAction(), form.Controls().generateAction);
        requestsAfter = server.requests;
        QTest::mouseClick(form.Controls().kindTabs, Qt::LeftButton, {}, form.Controls().kindTabs->tabRect(0).center());
        QTest::mouseClick(form.Controls().textBox->viewport(), Qt::LeftButton);
        QTest::keyClicks(form.Controls().textBox, "other kind");
        ChooseFromMenu(form.menuBar(), menu->menuAction(), form.Controls().generateAction);
        otherKind = Zbar(form.Symbol());
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.Controls().generateButton->isEnabled(); }, 8000));
    EXPECT_TRUE(lookedUp);
    EXPECT_EQ(server.mostWaiting, 1);
    EXPECT_EQ(server.requests, 2); // the look-up, then the check
    EXPECT_EQ(requestsBefore, 2);
    EXPECT_EQ(requestsAfter, 2);
    EXPECT_EQ(otherKind, "other kind");
    EXPECT_EQ(form.StatusText(), "当前软件为最新版本,欢迎使用Vorlane软件..");
    BoxAnswerer yes([](const QString&) { return Qt::Key_Y; });
    form.close();
}

TEST(NetworkWaits, YesToTheExitQuestionAbandonsTheWait)
{
    struct Case {
        const char* what;
        bool lookUp;
        int answerAfterMs; // -1: never
    } cases[] = {{"check, silent server", false, -1},
                 {"check, answer after the Yes", false, 700},
                 {"look-up, silent server", true, -1},
                 {"look-up, answer after the Yes", true, 700}};
    for (const Case& c : cases) {
        LateServer server(c.answerAfterMs, [](const QByteArray& path, const QByteArray&) { return Reply(path, true); });
        qputenv("VORLANE_API_URL", server.Url().toUtf8());
        qputenv("VORLANE_HTTP_TIMEOUT_MS", "3000");
        DesktopServices services;
        Form1 form(services);
        form.Start();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        BoxAnswerer answers([](const QString& text) { return text == kExit ? Qt::Key_Y : Qt::Key_Enter; });
        qint64 returnedAt = -1;
        if (c.lookUp) {
            form.Controls().updateTimer->stop();
            TypeAccount(form);
            QTimer::singleShot(0, &form, [&] {
                QMenu* menu = form.findChild<QMenu*>("menu1");
                ChooseFromMenu(form.menuBar(), menu->menuAction(), form.Controls().generateAction);
                returnedAt = answers.Elapsed();
            });
        } else {
            // Runs once the window's own tick handler has returned.
            QObject::connect(form.Controls().updateTimer, &QTimer::timeout, &form,
                             [&] { returnedAt = answers.Elapsed(); });
        }
        // Once the request waits, 退出程序 from the menu bar, answered Yes.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &form, [&] {
            if (server.requests == 0) return;
            closer.stop();
            ChooseFromMenu(form.menuBar(), form.Controls().exitAction);
        });
        closer.start(20);
        EXPECT_TRUE(QTest::qWaitFor([&] { return returnedAt >= 0; }, 8000)) << c.what;
        QTest::qWait(c.answerAfterMs + 500); // when a late answer would have come
        ASSERT_FALSE(answers.Seen().empty()) << c.what;
        EXPECT_EQ(answers.Texts(), QStringList{kExit}) << c.what;
        EXPECT_LT(returnedAt - answers.Seen()[0].at, 1000) << c.what;
        EXPECT_FALSE(form.isVisible()) << c.what;
        EXPECT_FALSE(form.Controls().generateButton->isEnabled()) << c.what;
        EXPECT_EQ(form.StatusText(), c.lookUp ? "正在获取公众号信息" : "正在检测版本更新") << c.what;
    }
}

} // namespace
