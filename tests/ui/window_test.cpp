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

namespace {

// Every visible control of the window where the layout table puts it, in twips
// (Left, Top, Width, Height; -1 where the table gives no figure), relative to
// its container. 15 twips make a pixel.
TEST_F(WindowTest, EveryControlStandsWhereTheLayoutTablePutsIt)
{
    struct Place {
        const char* name;
        int left, top, width, height;
    } places[] = {
        // clang-format off
        {"TabStrip1", 240, 240, 6975, 6495},
        {"Frame1(0)", 360, 720, 6735, 5895}, {"Frame1(1)", 360, 720, 6735, 5895}, {"Frame1(2)", 360, 720, 6735, 5895},
        {"Frame1(3)", 360, 720, 6735, 5895}, {"Frame1(4)", 360, 720, 6735, 5895}, {"Frame1(5)", 360, 720, 6735, 5895},
        {"Frame1(6)", 360, 720, 6735, 5895}, {"Frame1(7)", 360, 720, 6735, 5895}, {"Frame1(8)", 360, 720, 6735, 5895},
        {"Picture1", 7560, 720, 3735, 3855},
        {"Label2", 0, 1920, 3660, 195},
        {"Command4", 7560, 4680, 3735, 615},
        {"Command1", 7560, 5400, 3735, 615},
        {"Command3", 7560, 6120, 1815, 615},
        {"Command2", 9480, 6120, 1815, 615},
        {"S1", 0, 7020, 11595, 615},
        // Plain text.
        {"Text1", 120, 240, 6495, 5535},
        // Business card: eight rows 600 apart.
        {"Label3(0)", 480, 960, 390, 285}, {"Text2", 1200, 960, 4935, 375},
        {"Label3(1)", 480, 1560, 390, 285}, {"Text3", 1200, 1560, 4935, 375},
        {"Label3(2)", 480, 2160, 390, 285}, {"Text4", 1200, 2160, 4935, 375},
        {"Label3(3)", 480, 2760, 390, 285}, {"Text5", 1200, 2760, 4935, 375},
        {"Label3(4)", 480, 3360, 390, 285}, {"Text6", 1200, 3360, 4935, 375},
        {"Label3(5)", 480, 3960, 390, 285}, {"Text7", 1200, 3960, 4935, 375},
        {"Label3(6)", 480, 4560, 390, 285}, {"Text8", 1200, 4560, 4935, 375},
        {"Label3(7)", 480, 5160, 390, 285}, {"Text9", 1200, 5160, 4935, 375},
        {"Label3(30)", 3120, 360, 3075, 255},
        // Web address.
        {"Label3(8)", 360, 600, -1, -1}, {"Text10", 360, 1080, 6015, 375}, {"Label3(24)", 375, 1680, -1, -1},
        // SMS or MMS.
        {"Label3(9)", 360, 480, 1170, 285},
        {"Option1(0)", 4680, 480, 735, 285},
        {"Option1(1)", 5640, 480, 735, 285},
        {"Text11", 360, 960, 6015, 1905},
        {"Label3(10)", 360, 3000, 1740, 285},
        {"Line1", 360, 3600, 6000, -1},
        {"Label3(11)", 360, 3960, 1365, 285},
        {"Text12", 2160, 3960, 4215, 375},
        {"Line2", 360, 4560, 6000, -1},
        {"Label3(21)", 360, 4800, 3795, 255},
        {"Label3(29)", 360, 5160, 3075, 255},
        // Wi-Fi.
        {"Label3(12)", 360, 960, 1650, 285},
        {"Text13", 2280, 960, 4095, 375},
        {"Label3(13)", 360, 1680, 810, 285},
        {"Text14", 2280, 1680, 4095, 375},
        {"Label3(14)", 360, 2400, 780, 285},
        {"Combo1", 2280, 2400, 4095, -1},
        {"Label3(22)", 2520, 3360, 3795, 255},
        {"Label3(23)", 4320, 3720, 2025, 255},
        // Phone, e-mail, app, WeChat: a caption, one box, hints below.
        {"Label3(15)", 360, 600, -1, 285}, {"Text15", 360, 1080, 6015, 375}, {"Label3(25)", 375, 1680, -1, -1},
        {"Label3(16)", 360, 600, -1, 285}, {"Text16", 360, 1080, 6015, 375}, {"Label3(19)", 360, 1680, -1, -1},
        {"Label3(26)", 360, 2040, -1, -1},
        {"Label3(17)", 360, 600, -1, 285}, {"Text17", 360, 1080, 6015, 375}, {"Label3(20)", 360, 1680, -1, -1},
        {"Label3(27)", 360, 2040, -1, -1},
        {"Label3(18)", 360, 600, -1, 285}, {"Text18", 360, 1080, 6015, 375}, {"Label3(28)", 360, 1680, -1, -1},
        // clang-format on
    };
    for (const Place& p : places) {
        QWidget* w = form->findChild<QWidget*>(p.name);
        ASSERT_TRUE(w) << p.name;
        QRect r = w->geometry();
        // The tab strip is drawn as its tabs and the page below them.
        if (w == form->TabStrip1) r = r.united(form->findChild<QWidget*>("TabStrip1Page")->geometry());
        EXPECT_EQ(r.left(), p.left / 15) << p.name;
        EXPECT_EQ(r.top(), p.top / 15) << p.name;
        if (p.width >= 0) {
            EXPECT_EQ(r.width(), p.width / 15) << p.name;
        }
        if (p.height >= 0) {
            EXPECT_EQ(r.height(), p.height / 15) << p.name;
        }
    }
    // Status panels 1 and 3 are an inch wide.
    EXPECT_EQ(form->findChild<QWidget*>("S1Panel1")->width(), 96);
    EXPECT_EQ(form->findChild<QWidget*>("S1Panel3")->width(), 96);
}

} // namespace
