// The window: its state after load, tabs, input aids, the generation of all
// nine kinds (checked by zbar), the account look-up and the exit question.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <utility>

#include "Cp936.h"
#include "FakeServices.h"
#include "Form1.h"
#include "Readers.h"
#include "TestServers.h"

namespace {

using namespace testsupport;

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VORLANE_API_URL", "http://127.0.0.1:9"); // nothing listens there
        qputenv("VORLANE_HTTP_TIMEOUT_MS", "1500");
        form = std::make_unique<Form1>(services);
        form->Form_Load();
        form->Timer2->stop(); // the update check has tests of its own
    }
    void TearDown() override
    {
        services.answers = {true};
        form->close();
    }
    QLineEdit* Box(int n) { return form->findChild<QLineEdit*>(QString("Text%1").arg(n)); }
    void SelectTab(int k) { form->TabStrip1->setCurrentIndex(k - 1); }
    std::string Status() { return form->StatusText().toStdString(); }
    // Until the look-up has answered: the busy cursor over the preview goes.
    void AwaitLookup()
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->Picture1->cursor().shape() != Qt::BusyCursor; }, 5000));
    }

    FakeServices services;
    std::unique_ptr<Form1> form;
};

TEST_F(FormTest, StateAfterLoad)
{
    EXPECT_EQ(form->windowTitle(), "Vorlane二维码生成器 V3.1.0");
    EXPECT_EQ(form->centralWidget()->size(), QSize(773, 509));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()); // cannot be resized
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->TabStrip1->currentIndex(), 0);
    EXPECT_EQ(form->TabStrip1->count(), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(form->findChild<QFrame*>(QString("Frame1(%1)").arg(i))->isVisible(), i == 0);
    for (const char* b : {"Command1", "Command2", "Command3", "Command4"}) {
        QPushButton* button = form->findChild<QPushButton*>(b);
        ASSERT_TRUE(button) << b;
        EXPECT_FALSE(button->isEnabled()) << b;
    }
    EXPECT_EQ(form->findChild<QPushButton*>("Command1")->text(), "生成二维码");
    EXPECT_EQ(form->findChild<QPushButton*>("Command1")->geometry(), QRect(504, 360, 249, 41));
    EXPECT_EQ(form->findChild<QLabel*>("Picture1")->geometry(), QRect(504, 48, 249, 257));
    EXPECT_EQ(Status(), "正在检测版本更新");
    EXPECT_EQ(form->findChild<QLabel*>("S1Panel1")->text(), "提示");
    EXPECT_EQ(form->findChild<QLabel*>("S1Panel3")->text(), "09:05:07");
    EXPECT_TRUE(form->findChild<QLabel*>("Label2")->isVisible());
    EXPECT_EQ(form->findChild<QLabel*>("Label2")->text(), "二维条码图片区");
    for (int n = 2; n <= 18; ++n) {
        if (n == 11) continue;
        ASSERT_TRUE(Box(n)) << n;
        EXPECT_EQ(Box(n)->text(), (n == 8 || n == 10) ? "http://" : "") << n;
    }
    EXPECT_TRUE(form->findChild<QPlainTextEdit*>("Text1")->toPlainText().isEmpty());
    EXPECT_TRUE(form->findChild<QRadioButton*>("Option1(0)")->isChecked());
    QComboBox* combo = form->findChild<QComboBox*>("Combo1");
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "WPA/WPA2");
    EXPECT_EQ(combo->itemText(2), "无加密");
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(form->findChild<QLabel*>("Label3(10)")->text(), "已输入数量：0/300");
    for (const char* a : {"shengcheng", "qk", "sm", "xy", "oskelt", "qq"}) {
        ASSERT_TRUE(form->findChild<QAction*>(a)) << a;
        EXPECT_TRUE(form->findChild<QAction*>(a)->isEnabled()) << a;
    }
    EXPECT_TRUE(form->Image1().isNull());
}

TEST_F(FormTest, EveryTabShowsItsFrameOnly)
{
    Box(2)->setText("kept");
    for (int k : {5, 1, 9, 2, 2, 4}) {
        SelectTab(k);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(form->Frame1[static_cast<size_t>(i)]->isVisible(), i == k - 1) << k;
    }
    EXPECT_EQ(Box(2)->text(), "kept");
}

TEST_F(FormTest, SmsContentIsLimitedAndCounted)
{
    QPlainTextEdit* text = form->Text11;
    QLabel* counter = form->Label3[10];
    text->insertPlainText(QString(10, 'x'));
    EXPECT_EQ(counter->text(), "已输入数量：10/290");
    text->clear();
    text->insertPlainText(QString(350, 'y')); // a paste over the limit
    EXPECT_EQ(text->toPlainText(), QString(300, 'y'));
    EXPECT_EQ(text->textCursor().position(), 300);
    EXPECT_EQ(counter->text(), "已输入数量：300/0");
    text->clear();
    EXPECT_EQ(counter->text(), "已输入数量：0/300");
    // Characters outside the BMP count twice, and a pair is never split.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    text->insertPlainText(emoji.repeated(175));
    EXPECT_EQ(text->toPlainText(), emoji.repeated(150));
    EXPECT_EQ(counter->text(), "已输入数量：300/0");
    text->clear();
    text->insertPlainText("a" + emoji.repeated(175));
    EXPECT_EQ(text->toPlainText(), "a" + emoji.repeated(149));
    EXPECT_EQ(counter->text(), "已输入数量：299/1");
}

TEST_F(FormTest, EveryValidationMessage)
{
    struct Case {
        int tab;
        const char* message;
    } cases[] = {{1, "请输入内容后再进行生成!"}, {2, "请至少输入姓名与电话"}, {4, "请输入信息内容"},
                 {5, "请输入wifi账号（SSID）"},  {6, "请输入手机号码"},       {7, "请输入E-mail地址"},
                 {8, "请输入APP应用包名"},       {9, "请输入微信公众号账号"}};
    for (const Case& c : cases) {
        SelectTab(c.tab);
        form->GenerateSelected();
        EXPECT_EQ(Status(), c.message) << c.tab;
    }
    SelectTab(3);
    Box(10)->clear();
    form->GenerateSelected();
    EXPECT_EQ(Status(), "请输入网址");
    SelectTab(4);
    form->Text11->setPlainText("hi");
    form->GenerateSelected();
    EXPECT_EQ(Status(), "请输入手机号码");
    SelectTab(5);
    Box(13)->setText("net");
    form->GenerateSelected();
    EXPECT_EQ(Status(), "请输入wifi密码");
    EXPECT_TRUE(form->Image1().isNull());
    EXPECT_TRUE(services.boxes.empty()); // refusals never open a box
}

TEST_F(FormTest, EachKindEncodesItsPayload)
{
    struct Case {
        int tab;
        std::function<void()> fill;
        std::string payload;
    } cases[] = {
        {1, [&] { form->Text1->setPlainText("第一行\n second line "); }, "第一行\r\n second line "},
        {2,
         [&] {
             Box(2)->setText("张三");
             Box(3)->setText("138;0");
         },
         "MECARD:N:张三;TEL:138\\;0;URL:http\\://;"},
        {3, [] {}, "http://"},
        {4,
         [&] {
             form->Text11->setPlainText("a+b & c");
             Box(12)->setText("10086");
             form->Option1[1]->setChecked(true);
         },
         "mms:10086?body=a%2Bb%20%26%20c"},
        {5,
         [&] {
             Box(13)->setText("家里");
             form->Combo1->setCurrentIndex(2); // open network: no password needed
         },
         "WIFI:S:家里;T:nopass;"},
        {6, [&] { Box(15)->setText("138 0013 8000"); }, "tel:138 0013 8000"},
        {7, [&] { Box(16)->setText("a@b.cn"); }, "mailto:a@b.cn"},
        {8, [&] { Box(17)->setText("com.tencent.mobileqq"); }, "market://details?id=com.tencent.mobileqq"},
    };
    for (const Case& c : cases) {
        SelectTab(c.tab);
        c.fill();
        if (c.tab % 2) form->shengcheng->trigger();
        else form->GenerateSelected();
        EXPECT_EQ(Status(), "二维码生成完毕!") << c.tab;
        ASSERT_FALSE(form->Image1().isNull()) << c.tab;
        EXPECT_EQ(Zbar(form->Image1()), c.payload) << c.tab;
        EXPECT_FALSE(form->Label2->isVisible());
        // The preview is the same symbol stretched over the box.
        EXPECT_EQ(form->PreviewImage().size(), QSize(249, 257));
        EXPECT_EQ(Zbar(form->PreviewImage()), c.payload) << c.tab;
    }
}

TEST_F(FormTest, RefusalKeepsThePreviousSymbol)
{
    form->Text1->setPlainText("first");
    form->GenerateSelected();
    const QImage before = form->PreviewImage();
    SelectTab(6);
    form->GenerateSelected();
    EXPECT_EQ(Status(), "请输入手机号码");
    EXPECT_EQ(form->PreviewImage(), before);
    EXPECT_EQ(Zbar(form->Image1()), "first");
}

TEST_F(FormTest, PayloadTooLongShowsThePlaceholderAgain)
{
    form->Text1->setPlainText("short");
    form->GenerateSelected();
    form->Text1->setPlainText(QString(1664, 'k'));
    form->GenerateSelected();
    EXPECT_EQ(Status(), "内容过长,无法生成二维码!");
    EXPECT_TRUE(form->Image1().isNull());
    EXPECT_TRUE(form->Label2->isVisible());
    EXPECT_EQ(Zbar(form->PreviewImage()), "");
    form->Text1->setPlainText(QString(1663, 'k'));
    form->GenerateSelected();
    EXPECT_EQ(Status(), "二维码生成完毕!");
}

const char kAccounts[] = R"({"accounts":{"vorlane":"http://weixin.qq.com/r/demo","中文 号&=+%":"中文内容 payload"}})";

TEST_F(FormTest, WeChatLookupEncodesTheReturnedText)
{
    VendorApi api(kAccounts);
    ASSERT_TRUE(api.Running());
    qputenv("VORLANE_API_URL", api.baseUrl.toUtf8());
    SelectTab(9);
    for (auto [account, payload] :
         {std::pair{"vorlane", "http://weixin.qq.com/r/demo"}, std::pair{"中文 号&=+%", "中文内容 payload"}}) {
        Box(18)->setText(QString::fromUtf8(account));
        form->GenerateSelected();
        AwaitLookup();
        EXPECT_EQ(Status(), "二维码生成完毕!");
        EXPECT_EQ(Zbar(form->Image1()), payload);
    }
    // A refusal: the API's message in the status panel and in a box; the symbol stays.
    const QImage before = form->PreviewImage();
    Box(18)->setText("nobody");
    form->GenerateSelected();
    AwaitLookup();
    EXPECT_EQ(Status(), "未找到该公众号");
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].title, "提示");
    EXPECT_EQ(services.boxes[0].text, "未找到该公众号");
    EXPECT_EQ(form->PreviewImage(), before);
    EXPECT_EQ(Zbar(form->Image1()), "中文内容 payload");
}

TEST_F(FormTest, UnreadableLookupReplyLeavesThePreview)
{
    form->Text1->setPlainText("kept");
    form->GenerateSelected();
    const QImage before = form->PreviewImage();
    SelectTab(9);
    Box(18)->setText("vorlane");
    RawHttpServer html(HttpReply(500, "text/html", "<html>oops</html>"));
    for (const QString& url : {QString("http://127.0.0.1:9"), html.Url("")}) {
        qputenv("VORLANE_API_URL", url.toUtf8());
        form->GenerateSelected();
        AwaitLookup();
        EXPECT_EQ(Status(), "公众号信息获取失败,请检查网络后重试");
        EXPECT_EQ(form->PreviewImage(), before);
        EXPECT_TRUE(services.boxes.empty());
    }
}

TEST_F(FormTest, AskingAgainForTheSameAccountIsIgnored)
{
    RawHttpServer silent({}, true);
    qputenv("VORLANE_API_URL", silent.Url("").toUtf8());
    SelectTab(9);
    Box(18)->setText("vorlane");
    int connections = 0;
    QObject::connect(&silent.Listener(), &QTcpServer::newConnection, form.get(), [&] { ++connections; });
    form->GenerateSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connections == 1; }, 3000));
    const QString waiting = form->StatusText();
    form->GenerateSelected(); // while the first request waits
    QTest::qWait(200);
    EXPECT_EQ(connections, 1); // no second request
    EXPECT_EQ(form->StatusText(), waiting);
    AwaitLookup();
    EXPECT_EQ(Status(), "公众号信息获取失败,请检查网络后重试");
}

TEST_F(FormTest, ExitQuestionOnEveryCloseRequest)
{
    form->Text1->setPlainText("stay");
    form->GenerateSelected();
    services.answers = {false};
    form->qq->trigger();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "是否确定退出软件?");
    EXPECT_EQ(services.boxes[0].title, "提示");
    EXPECT_TRUE(services.boxes[0].question);
    EXPECT_EQ(form->Text1->toPlainText(), "stay");
    EXPECT_FALSE(form->Image1().isNull());
    services.answers = {false};
    form->close(); // the title bar's close button
    EXPECT_TRUE(form->isVisible());
    services.answers = {true};
    form->close();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormTest, HelpAndWebsiteItems)
{
    form->sm->trigger();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text,
              "请选择对应的分类，并填写信息即可生成\r\n\r\nLOGO嵌入建议选择300px*300px的JPG图片");
    qputenv("VORLANE_WEBSITE_URL", "http://studio.test");
    qputenv("VORLANE_COMPANY_URL", "http://company.test");
    form->xy->trigger();
    form->oskelt->trigger();
    ASSERT_EQ(services.opened.size(), 2u);
    EXPECT_EQ(services.opened[0], QUrl("http://studio.test"));
    EXPECT_EQ(services.opened[1], QUrl("http://company.test"));
}

} // namespace

namespace {

TEST(Skin, AppliedWhenTheSkinFileExistsAndHarmlessOtherwise)
{
    QTemporaryDir dir;
    FakeServices services;
    auto load = [&services] {
        Form1 form(services);
        form.Form_Load();
        form.Timer2->stop();
        const QString sheet = qApp->styleSheet();
        services.answers = {true};
        form.close();
        qApp->setStyleSheet(QString());
        return sheet;
    };
    auto writeSkin = [](const QString& path, const char* colour) {
        QFile skin(path);
        ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
        skin.write(QByteArray("QPushButton { color: ") + colour + "; }");
    };
    // Beside the program (a build tree), and an installed program's under <prefix>/share/vorlane-qr.
    const QString installedBin = dir.filePath("usr/bin"), installedData = dir.filePath("usr/share/vorlane-qr");
    ASSERT_TRUE(QDir().mkpath(installedBin) && QDir().mkpath(installedData));
    for (const QString& programDir : {dir.path(), installedBin}) {
        SCOPED_TRACE(programDir.toStdString());
        services.programDir = programDir;
        EXPECT_TRUE(load().isEmpty());
    }
    writeSkin(dir.filePath("skinh.she"), "rgb(1, 2, 3)");
    services.programDir = dir.path();
    EXPECT_TRUE(load().contains("rgb(1, 2, 3)"));
    writeSkin(installedData + "/skinh.she", "rgb(4, 5, 6)");
    services.programDir = installedBin;
    EXPECT_TRUE(load().contains("rgb(4, 5, 6)"));
    // One beside the program still comes first.
    writeSkin(installedBin + "/skinh.she", "rgb(7, 8, 9)");
    EXPECT_TRUE(load().contains("rgb(7, 8, 9)"));
}

} // namespace
