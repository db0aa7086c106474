// The websites and the update page open through xdg-open; when it cannot open
// them, the window shows the address so that the user can copy it. A fake
// xdg-open on PATH answers as told; real clicks, real boxes.
#include <gtest/gtest.h>

#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Form1.h"
#include "FormServices.h"
#include "Interaction.h"

namespace {

using namespace testsupport;

const QString kNoBrowser = "无法打开浏览器,请手动访问:";

// The desktop's own services, except that ending the program is only noted.
struct DesktopThatStays : DesktopServices {
    std::function<void()> onQuit;
    void Quit() override { onQuit(); }
};

// A folder to put on PATH, holding an xdg-open that notes its argument and exits
// with status, or none at all.
class FakeOpener {
public:
    explicit FakeOpener(std::optional<int> status) : oldPath_(qgetenv("PATH"))
    {
        if (status) {
            QFile script(dir_.filePath("xdg-open"));
            script.open(QIODevice::WriteOnly);
            script.write("#!/bin/sh\necho \"$1\" >> \"${0%/*}/opened\"\nexit " + QByteArray::number(*status) + "\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", dir_.path().toUtf8());
    }
    ~FakeOpener() { qputenv("PATH", oldPath_); }
    QString Opened() const
    {
        QFile f(dir_.filePath("opened"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }

private:
    QByteArray oldPath_;
    QTemporaryDir dir_;
};

TEST(Browser, AWebsiteThatCannotBeOpenedIsShownInTheStatusPanel)
{
    qputenv("VORLANE_WEBSITE_URL", "http://studio.test");
    qputenv("VORLANE_COMPANY_URL", "http://company.test");
    struct Case {
        const char* what;
        std::optional<int> status; // none: no xdg-open at all
    } cases[] = {{"opens", 0}, {"fails", 1}, {"absent", std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeOpener opener(c.status);
        DesktopThatStays services;
        Form1 form(services);
        form.Form_Load();
        form.Timer2->stop();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        const QString before = form.StatusText();
        QStringList seen;
        QObject::connect(&form, &Form1::StatusChanged, &form, [&](const QString& text) { seen << text; });
        ChooseFromMenu(form.menuBar(), form.xy);
        ChooseFromMenu(form.menuBar(), form.oskelt);
        if (c.status == 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return opener.Opened().count('\n') == 1; }, 5000));
            QTest::qWait(200);
            QStringList opened = opener.Opened().split('\n');
            opened.sort(); // the two openers run side by side
            EXPECT_EQ(opened, (QStringList{"http://company.test", "http://studio.test"}));
            EXPECT_EQ(form.StatusText(), before);
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }, 5000));
            seen.sort();
            EXPECT_EQ(seen, (QStringList{kNoBrowser + "http://company.test", kNoBrowser + "http://studio.test"}));
        }
        BoxAnswerer yes([](const QString&) { return Qt::Key_Y; });
        form.close();
    }
}

TEST(Browser, AnUpdatePageThatCannotBeOpenedIsShownBeforeTheProgramEnds)
{
    LateServer server(0, [](const QByteArray&, const QByteArray&) -> QByteArray {
        return R"({"result":1,"info":{"version":"3.2.0","sid":"57","must":"0"}})";
    });
    qputenv("VORLANE_API_URL", server.Url().toUtf8());
    qputenv("VORLANE_WEBSITE_URL", "http://studio.test");
    for (std::optional<int> status : {std::optional<int>(1), std::optional<int>()}) {
        FakeOpener opener(status);
        BoxAnswerer answers(
            [](const QString& text) { return text.startsWith("发现最新版本") ? Qt::Key_Y : Qt::Key_Enter; });
        DesktopThatStays services;
        int boxesAtQuit = -1;
        services.onQuit = [&] { boxesAtQuit = static_cast<int>(answers.Seen().size()); };
        Form1 form(services);
        form.Form_Load(); // the check starts a second later
        ASSERT_TRUE(QTest::qWaitFor([&] { return boxesAtQuit >= 0; }, 10000));
        EXPECT_EQ(answers.Texts(), (QStringList{"发现最新版本3.2.0，是否现在更新?",
                                                kNoBrowser + "https://studio.test/index.php/Works/detail/sid/57"}));
        EXPECT_EQ(boxesAtQuit, 2); // the address was shown before the end
    }
}

} // namespace
