// Where the window's controls stand, and labels that show their whole text in
// the fonts the machine has (the CJK fallback is wider than the original font).
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <set>

#include "FakeServices.h"
#include "Form1.h"

namespace {

struct LoadedForm {
    explicit LoadedForm(const QString& skin)
    {
        qputenv("VORLANE_API_URL", "http://127.0.0.1:9");
        if (!skin.isEmpty()) {
            QFile file(dir.filePath("skinh.she"));
            if (file.open(QIODevice::WriteOnly)) file.write(skin.toUtf8());
        }
        services.programDir = dir.path();
        form = std::make_unique<Form1>(services);
        form->Form_Load();
        form->Timer2->stop();
    }
    ~LoadedForm()
    {
        services.answers = {true};
        form->close();
        qApp->setStyleSheet(QString());
    }
    void ClickTab(int k) // 1-based
    {
        QTest::mouseClick(form->TabStrip1, Qt::LeftButton, {}, form->TabStrip1->tabRect(k - 1).center());
    }

    QTemporaryDir dir;
    FakeServices services;
    std::unique_ptr<Form1> form;
};

// Every control where the layout table puts it, in twips (Left, Top, Width,
// Height; -1 where the table gives no figure), relative to its container.
// Labels may be wider and taller, to show their text, never elsewhere.
TEST(Layout, EveryControlStandsWhereTheLayoutTablePutsIt)
{
    LoadedForm loaded({});
    Form1* form = loaded.form.get();
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
    for (int k = 1; k <= 9; ++k) loaded.ClickTab(k); // each frame shown once, as a user would
    for (const Place& p : places) {
        QWidget* w = form->findChild<QWidget*>(p.name);
        ASSERT_TRUE(w) << p.name;
        QRect r = w->geometry();
        // The tab strip is drawn as its tabs and the page below them.
        if (w == form->TabStrip1) r = r.united(form->findChild<QWidget*>("TabStrip1Page")->geometry());
        EXPECT_EQ(r.left(), p.left / 15) << p.name;
        EXPECT_EQ(r.top(), p.top / 15) << p.name;
        const bool grows = (qobject_cast<QLabel*>(w) && w != form->Picture1) || qobject_cast<QRadioButton*>(w);
        if (p.width >= 0) {
            if (grows) EXPECT_GE(r.width(), p.width / 15) << p.name;
            else EXPECT_EQ(r.width(), p.width / 15) << p.name;
        }
        if (p.height >= 0) {
            if (grows) EXPECT_GE(r.height(), p.height / 15) << p.name;
            else EXPECT_EQ(r.height(), p.height / 15) << p.name;
        }
    }
    // Status panels 1 and 3 are an inch wide.
    EXPECT_EQ(form->findChild<QWidget*>("S1Panel1")->width(), 96);
    EXPECT_EQ(form->findChild<QWidget*>("S1Panel3")->width(), 96);
}

// Whether a caption shows all of its text; says which and how when not.
testing::AssertionResult ShowsWholeText(const QWidget* control, const QString& text)
{
    const QSize need = control->sizeHint(), has = control->size();
    if (need.width() <= has.width() && need.height() <= has.height()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << control->objectName().toStdString() << " \"" << text.toStdString()
                                       << "\" needs " << need.width() << " x " << need.height() << ", has "
                                       << has.width() << " x " << has.height();
}

// Every label and option the window writes, on each of the nine tabs, without a skin
// and with one that enlarges them; the SMS counter at every count it can show.
TEST(Layout, EveryLabelShowsItsWholeText)
{
    const QString skins[] = {{}, QStringLiteral("QLabel, QRadioButton { font-size: 11pt; padding: 0 2px; }")};
    for (const QString& skin : skins) {
        SCOPED_TRACE(skin.isEmpty() ? "no skin" : "skin");
        LoadedForm loaded(skin);
        Form1* form = loaded.form.get();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        std::set<const QLabel*> checked;
        for (int k = 1; k <= 9; ++k) {
            SCOPED_TRACE(k);
            loaded.ClickTab(k);
            for (const QLabel* label : form->findChildren<QLabel*>()) {
                if (!label->isVisible() || label == form->Picture1) continue;
                EXPECT_TRUE(ShowsWholeText(label, label->text()));
                checked.insert(label);
            }
            for (const QRadioButton* option : form->Option1) {
                if (!option->isVisible()) continue;
                EXPECT_TRUE(ShowsWholeText(option, option->text()));
            }
        }
        for (const QLabel* label : form->Label3) EXPECT_TRUE(checked.count(label)) << label->objectName().toStdString();
        EXPECT_TRUE(checked.count(form->Label2));

        loaded.ClickTab(4);
        QTest::mouseClick(form->Text11->viewport(), Qt::LeftButton);
        for (int n = 1; n <= 300; ++n) {
            QTest::keyClick(form->Text11, Qt::Key_8);
            const auto fits = ShowsWholeText(form->Label3[10], form->Label3[10]->text());
            EXPECT_TRUE(fits) << n;
            if (!fits) break; // the first count that does not fit says enough
        }
    }
}

} // namespace
