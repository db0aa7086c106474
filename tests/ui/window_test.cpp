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
        form->Start();
        form->Controls().updateTimer->stop(); // started again by the tests of the waits
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
        QTest::mouseClick(form->Controls().kindTabs, Qt::LeftButton, {},
                          form->Controls().kindTabs->tabRect(k - 1).center());
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
    form->Controls().textBox->setPlainText("old text");
    for (int round = 0; round < 2; ++round) { // each time the box is entered
        form->Controls().kindTabs->setFocus(Qt::TabFocusReason);
        ClickInto(form->Controls().textBox);
        EXPECT_EQ(form->Controls().textBox->textCursor().selectedText(), round ? "new" : "old text");
        QTest::keyClicks(form->Controls().textBox, "new");
        EXPECT_EQ(form->Controls().textBox->toPlainText(), "new");
    }
    // Once inside, a click places the caret as usual.
    ClickInto(form->Controls().textBox);
    EXPECT_FALSE(form->Controls().textBox->textCursor().hasSelection());
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
             form->Controls().kindTabs->setFocus(Qt::OtherFocusReason);
             QTest::keyClick(form->Controls().kindTabs, Qt::Key_Tab);
         }},
        {"Shift+Tab from a button", true,
         [&] {
             form->Controls().logoButton->setFocus(Qt::OtherFocusReason);
             QTest::keyClick(form->Controls().logoButton, Qt::Key_Backtab, Qt::ShiftModifier);
         }},
        {"help box closed", false,
         [&] {
             BoxAnswerer ok;
             ChooseFromMenu(form->menuBar(), Menu1()->menuAction(), form->Controls().helpAction);
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
        form->Controls().textBox->setPlainText("abc");
        ClickInto(form->Controls().textBox);
        QTest::keyClick(form->Controls().textBox, Qt::Key_End); // caret after "abc", nothing selected
        c.move();
        // What the window manager does when a box or another window goes away.
        if (!form->isActiveWindow()) form->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == form->Controls().textBox; }, 2000))
            << c.how;
        ASSERT_EQ(QApplication::focusWidget(), form->Controls().textBox) << c.how;
        QTest::keyClicks(form->Controls().textBox, "x");
        EXPECT_EQ(form->Controls().textBox->toPlainText(), c.selects ? "x" : "abcx") << c.how;
    }
}

TEST_F(WindowTest, TabLeavesTheMultiLineBoxes)
{
    ClickInto(form->Controls().textBox);
    QTest::keyClicks(form->Controls().textBox, "a");
    QTest::keyClick(form->Controls().textBox, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), form->Controls().textBox);
    EXPECT_EQ(form->Controls().textBox->toPlainText(), "a");
    ClickTab(4);
    ClickInto(form->Controls().smsBody);
    QTest::keyClicks(form->Controls().smsBody, "b");
    QTest::keyClick(form->Controls().smsBody, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), form->Controls().smsBody);
    EXPECT_EQ(form->Controls().smsBody->toPlainText(), "b");
}

// Generates with the menu item and returns what the symbol says.
std::string GenerateAndRead(Form1& form, QMenu* menu)
{
    ChooseFromMenu(form.menuBar(), menu->menuAction(), form.Controls().generateAction);
    return form.Symbol().isNull() ? "<none>" : Zbar(form.Symbol());
}

TEST_F(WindowTest, MultiLineBoxesPassWhatWasTyped)
{
    ClickInto(form->Controls().textBox);
    QTest::keyClicks(form->Controls().textBox, QString::fromUtf8("a\u00A0b"));
    QTest::keyClick(form->Controls().textBox, Qt::Key_Return);
    Paste(form->Controls().textBox, QString::fromUtf8("c\u2028d"));
    EXPECT_EQ(GenerateAndRead(*form, Menu1()), "a\u00A0b\r\nc\u2028d");
}

TEST_F(WindowTest, SmsCounterCountsLineBreaksAsSent)
{
    ClickTab(4);
    ClickInto(form->Controls().smsBody);
    QTest::keyClicks(form->Controls().smsBody, "ab");
    QTest::keyClick(form->Controls().smsBody, Qt::Key_Return);
    QTest::keyClicks(form->Controls().smsBody, "c");
    EXPECT_EQ(form->Controls().smsCounter->text(), "已输入数量：5/295");
    // A paste over the limit keeps whole lines up to 300 units of the sent body.
    form->Controls().smsBody->selectAll();
    Paste(form->Controls().smsBody, QString("xy\n").repeated(80));
    EXPECT_EQ(form->Controls().smsCounter->text(), "已输入数量：300/0");
    EXPECT_EQ(form->Controls().smsBody->textCursor().position(),
              form->Controls().smsBody->document()->characterCount() - 1);
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
    ChooseFromMenu(form->menuBar(), Menu1()->menuAction(), form->Controls().helpAction);
    ChooseFromMenu(form->menuBar(), form->Controls().exitAction);
    ASSERT_EQ(answers.Seen().size(), 2u);
    EXPECT_EQ(plain(answers.Seen()[0].buttons), QStringList{"确定"});
    QStringList yesNo = plain(answers.Seen()[1].buttons);
    yesNo.sort();
    EXPECT_EQ(yesNo, (QStringList{"否", "是"}));
    EXPECT_TRUE(form->isVisible()); // answered No with its key
    // The text boxes' own context menu.
    const std::unique_ptr<QMenu> menu(form->Controls().textBox->createStandardContextMenu());
    QStringList entries;
    for (QAction* a : menu->actions()) entries << a->text().section('\t', 0, 0);
    EXPECT_TRUE(plain(entries).contains("全选")) << entries.join(' ').toStdString();
}

} // namespace
