// A look-up that answers after the user has moved on, driven by real clicks and
// keys against a loopback server that answers late, with the desktop's own boxes
// and file dialog; what 保存 writes afterwards is read back by zbar.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include "Form1.h"
#include "FormServices.h"
#include "Interaction.h"
#include "Readers.h"

namespace {

using namespace testsupport;

constexpr int kReplyDelayMs = 2000;
const QString kWaiting = "正在获取公众号信息";
const QString kDone = "二维码生成完毕!";
const QString kRefusal = "未找到该公众号";

// The desktop's own boxes and dialogs; pictures are saved into the test's folder.
struct ScratchDesktop : DesktopServices {
    QString dir;
    QString ProgramDir() override { return dir; }
};

void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
void ClickTab(Form1& form, int k) // 1-based
{
    QTest::mouseClick(form.Controls().kindTabs, Qt::LeftButton, {}, form.Controls().kindTabs->tabRect(k - 1).center());
}
// Clicking into the text selects all of it, so typing replaces it.
void TypeText(Form1& form, const QString& text)
{
    ClickTab(form, 1);
    QTest::mouseClick(form.Controls().textBox->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
    if (text.isEmpty()) QTest::keyClick(form.Controls().textBox, Qt::Key_Delete);
    else QTest::keyClicks(form.Controls().textBox, text);
}
void TypeAccount(Form1& form, const QString& account)
{
    ClickTab(form, 9);
    QLineEdit* box = form.findChild<QLineEdit*>("Text18");
    Click(box);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, account);
}
bool Busy(Form1& form) { return form.Controls().preview->cursor().shape() == Qt::BusyCursor; }

struct Case {
    const char* what;
    bool refuse; // the late reply refuses with a box instead of giving a payload
    std::function<void(Form1&)> act;
    QString status;    // once the reply would have come
    QStringList boxes; // besides the save confirmations
    std::string saved; // what 保存 then writes; empty: nothing to save
};

// Generates "before", starts a look-up of vorlane that is answered late, lets the
// case act while it waits, then checks what the window shows and what 保存 writes.
void LookUpLateAndAct(const Case& c, const QString& dir)
{
    LateServer server(kReplyDelayMs, [&c](const QByteArray&, const QByteArray& request) -> QByteArray {
        if (c.refuse) return R"({"result":0,"msg":"未找到该公众号"})";
        return request.contains("user_account=other") ? R"({"result":1,"info":"other payload"})"
                                                      : R"({"result":1,"info":"late payload"})";
    });
    qputenv("VORLANE_API_URL", server.Url().toUtf8());
    qputenv("VORLANE_HTTP_TIMEOUT_MS", "8000");
    ScratchDesktop services;
    services.dir = dir;
    Form1 form(services);
    form.Start();
    form.Controls().updateTimer->stop();
    form.EnableCommands();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    BoxAnswerer answers;
    TypeText(form, "before");
    Click(form.Controls().generateButton);
    TypeAccount(form, "vorlane");
    Click(form.Controls().generateButton);
    EXPECT_EQ(form.StatusText(), kWaiting);
    EXPECT_TRUE(Busy(form));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests == 1; }, 5000));
    c.act(form);
    ASSERT_GE(server.waiting, 1) << "the reply came before the action: the machine is too slow for this test";
    // Until every reply has been sent, and a moment for it to be read.
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.waiting == 0; }, 3 * kReplyDelayMs));
    // A reply that lands may still be on its way through a busy machine; one that must not land gets a moment to
    // show itself wrongly.
    static_cast<void>(QTest::qWaitFor([&] { return form.StatusText() == c.status && !Busy(form); }, 3 * kReplyDelayMs));
    QTest::qWait(300);
    EXPECT_EQ(form.StatusText(), c.status);
    EXPECT_FALSE(Busy(form));
    QStringList boxes = answers.Texts();
    boxes.removeIf([](const QString& t) { return t.startsWith("二维码图片已保存"); });
    EXPECT_EQ(boxes, c.boxes);
    const QString savedBefore = form.SavedPath();
    Click(form.Controls().saveButton);
    if (c.saved.empty()) {
        EXPECT_EQ(form.StatusText(), "请先生成二维码后在进行保存!");
        EXPECT_EQ(form.SavedPath(), savedBefore);
    } else {
        EXPECT_EQ(ZbarFile(form.SavedPath()), c.saved);
    }
    BoxAnswerer yes([](const QString&) { return Qt::Key_Y; });
    form.close();
}

TEST(LateLookup, ANewerActionSupersedesTheWaitOthersLetTheReplyLand)
{
    QTemporaryDir dir;
    const QString logo = dir.filePath("logo.jpg");
    QImage picture(100, 100, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(logo));
    const Case cases[] = {
        {"another generation",
         true,
         [](Form1& f) {
             TypeText(f, "my text");
             Click(f.Controls().generateButton);
         },
         kDone,
         {},
         "my text"},
        {"a refused generation",
         false,
         [](Form1& f) {
             TypeText(f, "");
             Click(f.Controls().generateButton);
         },
         "请输入内容后再进行生成!",
         {},
         "before"},
        {"清空条码",
         false,
         [](Form1& f) {
             ChooseFromMenu(f.menuBar(), f.findChild<QMenu*>("menu1")->menuAction(), f.Controls().clearAction);
         },
         "二维码已清除",
         {},
         ""},
        {"a new logo",
         true,
         [&](Form1& f) {
             FileDialogAnswerer choose(logo);
             Click(f.Controls().logoButton);
         },
         kDone,
         {"建议上传300px*300px的JPG图片"},
         "before"},
        {"another look-up",
         false,
         [](Form1& f) {
             TypeAccount(f, "other");
             Click(f.Controls().generateButton);
         },
         kDone,
         {},
         "other payload"},
        // These do not supersede: the reply lands.
        {"a tab switch", true, [](Form1& f) { ClickTab(f, 1); }, kRefusal, {kRefusal}, "before"},
        {"保存", false, [](Form1& f) { Click(f.Controls().saveButton); }, kDone, {}, "late payload"},
        {"复制", false, [](Form1& f) { Click(f.Controls().copyButton); }, kDone, {}, "late payload"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LookUpLateAndAct(c, dir.path());
    }
}

} // namespace
