// The window in a user's hands, driven by real input: mouse presses and key
// presses on the widgets, real message boxes answered with keys, menu items
// chosen with the mouse, and loopback servers for the waits.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>

#include "Form1.h"
#include "FormServices.h"
#include "Interaction.h"
#include "Readers.h"

namespace {

using namespace testsupport;

const QString kHelp = "请选择对应的分类，并填写信息即可生成\r\n\r\nLOGO嵌入建议选择300px*300px的JPG图片";
const QString kExit = "是否确定退出软件?";

// The window with the desktop's own message boxes.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VORLANE_API_URL", "http://127.0.0.1:9");
        qputenv("VORLANE_HTTP_TIMEOUT_MS", "3000");
        form = std::make_unique<Form1>(services);
        form->Form_Load();
        form->Timer2->stop(); // started again by the tests of the waits
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override
    {
        BoxAnswerer yes([](const QString&) { return Qt::Key_Y; });
        form->close();
    }
    QLineEdit* Box(int n) { return form->findChild<QLineEdit*>(QString("Text%1").arg(n)); }
    void ClickTab(int k) // 1-based
    {
        QTest::mouseClick(form->TabStrip1, Qt::LeftButton, {}, form->TabStrip1->tabRect(k - 1).center());
    }
    void ClickInto(QPlainTextEdit* box) { QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(40, 10)); }
    void Paste(QWidget* box, const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    }
    QMenu* Menu1() { return form->findChild<QMenu*>("menu1"); }

    DesktopServices services;
    std::unique_ptr<Form1> form;
};

TEST_F(WindowTest, ClickIntoTheTextSelectsAllAndTypingReplacesIt)
{
    form->Text1->setPlainText("old text");
    for (int round = 0; round < 2; ++round) { // each time the box is entered
        form->TabStrip1->setFocus(Qt::TabFocusReason);
        ClickInto(form->Text1);
        EXPECT_EQ(form->Text1->textCursor().selectedText(), round ? "new" : "old text");
        QTest::keyClicks(form->Text1, "new");
        EXPECT_EQ(form->Text1->toPlainText(), "new");
    }
    // Once inside, a click places the caret as usual.
    ClickInto(form->Text1);
    EXPECT_FALSE(form->Text1->textCursor().hasSelection());
}

TEST_F(WindowTest, OnlyFocusMovedIntoTheTextSelectsAll)
{
    form->EnableCommands();
    QWidget otherProgram;
    otherProgram.resize(100, 100);
    struct Case {
        const char* how;
        bool selects;
        std::function<void()> move;
    } cases[] = {
        {"Tab from the tab strip", true,
         [&] {
             form->TabStrip1->setFocus(Qt::OtherFocusReason);
             QTest::keyClick(form->TabStrip1, Qt::Key_Tab);
         }},
        {"Shift+Tab from a button", true,
         [&] {
             form->Command4->setFocus(Qt::OtherFocusReason);
             QTest::keyClick(form->Command4, Qt::Key_Backtab, Qt::ShiftModifier);
         }},
        {"help box closed", false,
         [&] {
             BoxAnswerer ok;
             ChooseFromMenu(form->menuBar(), Menu1()->menuAction(), form->sm);
             EXPECT_EQ(ok.Texts(), QStringList{kHelp});
         }},
        {"menu closed with Escape", false,
         [&] {
             ChooseFromMenu(form->menuBar(), Menu1()->menuAction());
             ASSERT_TRUE(QTest::qWaitFor([&] { return Menu1()->isVisible(); }, 2000));
             QTest::keyClick(Menu1(), Qt::Key_Escape);
             ASSERT_TRUE(QTest::qWaitFor([&] { return !Menu1()->isVisible(); }, 2000));
             // The menu bar may keep the keyboard; a second Escape leaves it.
             if (QApplication::focusWidget() == form->menuBar()) QTest::keyClick(form->menuBar(), Qt::Key_Escape);
         }},
        {"back from another window", false,
         [&] {
             otherProgram.show();
             otherProgram.activateWindow();
             ASSERT_TRUE(QTest::qWaitForWindowActive(&otherProgram));
             otherProgram.hide();
             form->activateWindow();
         }},
    };
    for (const Case& c : cases) {
        form->Text1->setPlainText("abc");
        ClickInto(form->Text1);
        QTest::keyClick(form->Text1, Qt::Key_End); // caret after "abc", nothing selected
        c.move();
        // What the window manager does when a box or another window goes away.
        if (!form->isActiveWindow()) form->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == form->Text1; }, 2000)) << c.how;
        ASSERT_EQ(QApplication::focusWidget(), form->Text1) << c.how;
        QTest::keyClicks(form->Text1, "x");
        EXPECT_EQ(form->Text1->toPlainText(), c.selects ? "x" : "abcx") << c.how;
    }
}

TEST_F(WindowTest, TabLeavesTheMultiLineBoxes)
{
    ClickInto(form->Text1);
    QTest::keyClicks(form->Text1, "a");
    QTest::keyClick(form->Text1, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), form->Text1);
    EXPECT_EQ(form->Text1->toPlainText(), "a");
    ClickTab(4);
    ClickInto(form->Text11);
    QTest::keyClicks(form->Text11, "b");
    QTest::keyClick(form->Text11, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), form->Text11);
    EXPECT_EQ(form->Text11->toPlainText(), "b");
}

// Generates with the menu item and returns what the symbol says.
std::string GenerateAndRead(Form1& form, QMenu* menu)
{
    ChooseFromMenu(form.menuBar(), menu->menuAction(), form.shengcheng);
    return form.Image1().isNull() ? "<none>" : Zbar(form.Image1());
}

TEST_F(WindowTest, MultiLineBoxesPassWhatWasTyped)
{
    ClickInto(form->Text1);
    QTest::keyClicks(form->Text1, QString::fromUtf8("a\u00A0b"));
    QTest::keyClick(form->Text1, Qt::Key_Return);
    Paste(form->Text1, QString::fromUtf8("c\u2028d"));
    EXPECT_EQ(GenerateAndRead(*form, Menu1()), "a\u00A0b\r\nc\u2028d");
}

TEST_F(WindowTest, SmsCounterCountsLineBreaksAsSent)
{
    ClickTab(4);
    ClickInto(form->Text11);
    QTest::keyClicks(form->Text11, "ab");
    QTest::keyClick(form->Text11, Qt::Key_Return);
    QTest::keyClicks(form->Text11, "c");
    EXPECT_EQ(form->Label3[10]->text(), "已输入数量：5/295");
    // A paste over the limit keeps whole lines up to 300 units of the sent body.
    form->Text11->selectAll();
    Paste(form->Text11, QString("xy\n").repeated(80));
    EXPECT_EQ(form->Label3[10]->text(), "已输入数量：300/0");
    EXPECT_EQ(form->Text11->textCursor().position(), form->Text11->document()->characterCount() - 1);
    Box(12)->setText("10086");
    const std::string payload = GenerateAndRead(*form, Menu1());
    const QString body =
        QUrl::fromPercentEncoding(QByteArray::fromStdString(payload).mid(QByteArray("sms:10086?body=").size()));
    EXPECT_EQ(body.size(), 300);
    EXPECT_EQ(body, QString("xy\r\n").repeated(75));
}

TEST_F(WindowTest, StandardButtonsSpeakChinese)
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm"))
        GTEST_SKIP() << "qt6-translations-l10n is not installed";
    auto plain = [](QStringList texts) {
        for (QString& t : texts) t.remove(QRegularExpression(R"(\(&.\)|&)"));
        return texts;
    };
    BoxAnswerer answers([](const QString& text) { return text == kExit ? Qt::Key_N : Qt::Key_Enter; });
    ChooseFromMenu(form->menuBar(), Menu1()->menuAction(), form->sm);
    ChooseFromMenu(form->menuBar(), form->qq);
    ASSERT_EQ(answers.Seen().size(), 2u);
    EXPECT_EQ(plain(answers.Seen()[0].buttons), QStringList{"确定"});
    QStringList yesNo = plain(answers.Seen()[1].buttons);
    yesNo.sort();
    EXPECT_EQ(yesNo, (QStringList{"否", "是"}));
    EXPECT_TRUE(form->isVisible()); // answered No with its key
    // The text boxes' own context menu.
    const std::unique_ptr<QMenu> menu(form->Text1->createStandardContextMenu());
    QStringList entries;
    for (QAction* a : menu->actions()) entries << a->text().section('\t', 0, 0);
    EXPECT_TRUE(plain(entries).contains("全选")) << entries.join(' ').toStdString();
}

} // namespace

namespace {

using namespace testsupport;

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
    QTest::mouseClick(form.TabStrip1, Qt::LeftButton, {}, form.TabStrip1->tabRect(8).center());
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
    form.Form_Load(); // the update check is due in a second
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    TypeAccount(form);
    QMenu* menu = form.findChild<QMenu*>("menu1");
    bool lookedUp = false;
    std::string otherKind;
    int requestsBefore = -1, requestsAfter = -1;
    // The look-up waits from the start to 1.2 s, across the timer's first tick.
    QTimer::singleShot(0, &form, [&] {
        ChooseFromMenu(form.menuBar(), menu->menuAction(), form.shengcheng);
        lookedUp = true;
    });
    // While the check waits: a look-up is ignored, the other kinds still generate.
    QTimer::singleShot(2400, &form, [&] {
        requestsBefore = server.requests;
        ChooseFromMenu(form.menuBar(), menu->menuAction(), form.shengcheng);
        requestsAfter = server.requests;
        QTest::mouseClick(form.TabStrip1, Qt::LeftButton, {}, form.TabStrip1->tabRect(0).center());
        QTest::mouseClick(form.Text1->viewport(), Qt::LeftButton);
        QTest::keyClicks(form.Text1, "other kind");
        ChooseFromMenu(form.menuBar(), menu->menuAction(), form.shengcheng);
        otherKind = Zbar(form.Image1());
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.Command1->isEnabled(); }, 8000));
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
        form.Form_Load();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        BoxAnswerer answers([](const QString& text) { return text == kExit ? Qt::Key_Y : Qt::Key_Enter; });
        qint64 returnedAt = -1;
        if (c.lookUp) {
            form.Timer2->stop();
            TypeAccount(form);
            QTimer::singleShot(0, &form, [&] {
                QMenu* menu = form.findChild<QMenu*>("menu1");
                ChooseFromMenu(form.menuBar(), menu->menuAction(), form.shengcheng);
                returnedAt = answers.Elapsed();
            });
        } else {
            // Runs once the window's own tick handler has returned.
            QObject::connect(form.Timer2, &QTimer::timeout, &form, [&] { returnedAt = answers.Elapsed(); });
        }
        // Once the request waits, 退出程序 from the menu bar, answered Yes.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &form, [&] {
            if (server.requests == 0) return;
            closer.stop();
            ChooseFromMenu(form.menuBar(), form.qq);
        });
        closer.start(20);
        EXPECT_TRUE(QTest::qWaitFor([&] { return returnedAt >= 0; }, 8000)) << c.what;
        QTest::qWait(c.answerAfterMs + 500); // when a late answer would have come
        ASSERT_FALSE(answers.Seen().empty()) << c.what;
        EXPECT_EQ(answers.Texts(), QStringList{kExit}) << c.what;
        EXPECT_LT(returnedAt - answers.Seen()[0].at, 1000) << c.what;
        EXPECT_FALSE(form.isVisible()) << c.what;
        EXPECT_FALSE(form.Command1->isEnabled()) << c.what;
        EXPECT_EQ(form.StatusText(), c.lookUp ? "正在获取公众号信息" : "正在检测版本更新") << c.what;
    }
}

} // namespace
