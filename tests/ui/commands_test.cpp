// Save, copy, logo and clear.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <csignal>
#include <sys/resource.h>

#include "FakeServices.h"
#include "Form1.h"
#include "Readers.h"

namespace {

using namespace testsupport;

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VORLANE_API_URL", "http://127.0.0.1:9");
        services.programDir = programDir.path();
        form = std::make_unique<Form1>(services);
        form->Form_Load();
        form->Timer2->stop();
        form->EnableCommands();
    }
    void TearDown() override
    {
        services.answers = {true};
        form->close();
    }
    void Generate(const QString& text)
    {
        form->Text1->setPlainText(text);
        form->GenerateSelected();
    }
    // A red square logo as a JPEG file.
    QString LogoFile(QColor colour = Qt::red)
    {
        QImage logo(300, 300, QImage::Format_RGB32);
        logo.fill(colour);
        const QString path = programDir.filePath(QString("logo-%1.jpg").arg(colour.name().mid(1)));
        logo.save(path, "JPG");
        return path;
    }
    static bool MiddleIs(const QImage& image, QColor colour)
    {
        const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
        return std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
               std::abs(c.blue() - colour.blue()) < 40;
    }
    std::string Status() { return form->StatusText().toStdString(); }

    QTemporaryDir programDir;
    FakeServices services;
    std::unique_ptr<Form1> form;
};

TEST_F(CommandsTest, RefusalsWithoutASymbol)
{
    form->Command2->click();
    EXPECT_EQ(Status(), "请先生成二维码后在进行保存!");
    form->Command3->click();
    EXPECT_EQ(Status(), "请先生成二维码后在进行复制!");
    form->qk->trigger();
    EXPECT_EQ(Status(), "没有二维条码,无需清除");
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(QDir(programDir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(CommandsTest, SaveWritesARealJpegBesideTheProgram)
{
    Generate("saved payload");
    form->Command2->click();
    const QString path = programDir.filePath("HD20260203090507.jpg");
    ASSERT_TRUE(QFile::exists(path));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].title, "Vorlane系列软件");
    EXPECT_EQ(services.boxes[0].text, "二维码图片已保存在当前目录下!名称:HD20260203090507.jpg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(3), QByteArray("\xFF\xD8\xFF"));
    file.close();
    const QImage saved(path);
    EXPECT_EQ(saved.size(), QSize(667, 667));
    EXPECT_EQ(ZbarFile(path), "saved payload");
    EXPECT_EQ(Shell("ZXingReader -bytes '" + path.toStdString() + "'"), "saved payload");
    // Saves within the same second keep every picture: the later ones get a suffix.
    for (const char* text : {"second", "third"}) {
        Generate(text);
        form->Command2->click();
    }
    EXPECT_EQ(ZbarFile(path), "saved payload");
    EXPECT_EQ(ZbarFile(programDir.filePath("HD20260203090507_2.jpg")), "second");
    EXPECT_EQ(ZbarFile(programDir.filePath("HD20260203090507_3.jpg")), "third");
    ASSERT_EQ(services.boxes.size(), 3u);
    EXPECT_EQ(services.boxes[2].text, "二维码图片已保存在当前目录下!名称:HD20260203090507_3.jpg");
}

TEST_F(CommandsTest, ReadOnlyOrInstalledProgramDirectoryFallsBackToPictures)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    // An installed program's folder is left alone even when it is writable (root, an unpacked package).
    const QString installedBin = programDir.filePath("usr/bin");
    ASSERT_TRUE(QDir().mkpath(installedBin) && QDir().mkpath(programDir.filePath("usr/share/vorlane-qr")));
    const QString path = QDir(home.path()).filePath("Pictures/HD20260203090507.jpg");
    for (const QString& dir : {QString("/proc") /* nobody can create files there, not even root */, installedBin}) {
        SCOPED_TRACE(dir.toStdString());
        services.programDir = dir;
        services.boxes.clear();
        QFile::remove(path);
        Generate("fallback " + dir);
        form->Command2->click();
        EXPECT_TRUE(QFile::exists(path));
        ASSERT_EQ(services.boxes.size(), 1u);
        EXPECT_EQ(services.boxes[0].text, "二维码图片已保存!路径:" + path);
        EXPECT_EQ(ZbarFile(path), ("fallback " + dir).toStdString());
    }
    EXPECT_TRUE(QDir(installedBin).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    services.boxes.resize(1);

    // Nowhere to write: the failure is reported, never a success.
    qputenv("HOME", "/proc/nonexistent");
    form->Command2->click();
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_TRUE(services.boxes[1].text.startsWith("二维码图片保存失败!路径:")) << services.boxes[1].text.toStdString();
    qputenv("HOME", oldHome);
}

// A full disk for this process: no file may grow past a few kilobytes (this binds root too).
class FullDisk {
public:
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of killing
        rlimit small = old_;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

TEST_F(CommandsTest, AFailedSaveLeavesThePreviousFileWhole)
{
    Generate("first, saved whole");
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    const QString path = programDir.filePath("HD20260203090507.jpg");
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray before = saved.readAll();
    saved.close();
    ASSERT_GT(before.size(), 4096);
    const QStringList filesBefore = QDir(programDir.path()).entryList(QDir::Files | QDir::Hidden);

    Generate("second, the disk is full");
    {
        FullDisk full;
        QTest::mouseClick(form->Command2, Qt::LeftButton);
    }
    ASSERT_EQ(services.boxes.size(), 2u);
    const QString second = programDir.filePath("HD20260203090507_2.jpg"); // the same second: a name of its own
    EXPECT_EQ(services.boxes[1].text, "二维码图片保存失败!路径:" + second);
    EXPECT_FALSE(QFile::exists(second));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), before);
    EXPECT_EQ(ZbarFile(path), "first, saved whole");
    EXPECT_EQ(QDir(programDir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore); // nothing left behind
}

TEST_F(CommandsTest, CopyPutsTheExportOnTheClipboard)
{
    Generate("copied");
    form->Command3->click();
    EXPECT_EQ(Status(), "已复制到剪贴板!");
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(667, 667));
    EXPECT_EQ(Zbar(copied), "copied");
}

TEST_F(CommandsTest, LogoBeforeAndAfterASymbol)
{
    services.fileToChoose = LogoFile(Qt::red);
    form->Command4->click();
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[0].text, "建议上传300px*300px的JPG图片");
    EXPECT_EQ(services.boxes[0].title, "提示");
    EXPECT_EQ(services.boxes[1].title, "选择LOGO");
    EXPECT_EQ(Status(), "LOGO已设置，请生成二维码");

    Generate("with logo");
    EXPECT_TRUE(MiddleIs(form->PreviewImage(), Qt::red));
    EXPECT_FALSE(MiddleIs(form->Image1(), Qt::red)); // the stored symbol stays bare
    // The logo covers the middle fifth only.
    const QImage preview = form->PreviewImage();
    EXPECT_FALSE(MiddleIs(preview.copy(0, 0, 90, 90), Qt::red));
    EXPECT_EQ(preview.pixelColor(124, 128).red() > 200 && preview.pixelColor(124, 128).green() < 60, true);
    EXPECT_NE(preview.pixelColor(95, 128), QColor(Qt::red));
    const QImage exported = form->ComposeExport();
    EXPECT_EQ(exported.size(), QSize(667, 667));
    EXPECT_TRUE(MiddleIs(exported, Qt::red));
    EXPECT_EQ(Zbar(exported), "with logo"); // level Q survives the logo

    // A second logo while a symbol is shown is pasted at once.
    services.fileToChoose = LogoFile(Qt::blue);
    form->Command4->click();
    EXPECT_TRUE(MiddleIs(form->PreviewImage(), Qt::blue));
    EXPECT_TRUE(MiddleIs(form->ComposeExport(), Qt::blue));

    // Cancelling the dialog or choosing something unreadable keeps the logo.
    services.fileToChoose.clear();
    form->Command4->click();
    services.fileToChoose = programDir.filePath("missing.jpg");
    form->Command4->click();
    EXPECT_TRUE(MiddleIs(form->PreviewImage(), Qt::blue));
}

TEST_F(CommandsTest, ClearForgetsSymbolAndLogoAndEmptiesTheTextOnly)
{
    services.fileToChoose = LogoFile(Qt::red);
    form->Command4->click();
    form->findChild<QLineEdit*>("Text2")->setText("card name");
    Generate("to clear");
    form->qk->trigger();
    EXPECT_EQ(Status(), "二维码已清除");
    EXPECT_TRUE(form->Image1().isNull());
    EXPECT_TRUE(form->Image3().isNull());
    EXPECT_TRUE(form->Label2->isVisible());
    EXPECT_TRUE(form->Text1->toPlainText().isEmpty());
    EXPECT_EQ(form->findChild<QLineEdit*>("Text2")->text(), "card name");
    EXPECT_EQ(form->findChild<QLineEdit*>("Text10")->text(), "http://");
    form->Command2->click();
    EXPECT_EQ(Status(), "请先生成二维码后在进行保存!");
    Generate("bare again");
    EXPECT_FALSE(MiddleIs(form->PreviewImage(), Qt::red));
    EXPECT_FALSE(form->Label2->isVisible());
}

// A picture in four coloured quarters: red, blue / green, yellow.
QImage Quarters(int side, QImage::Format format)
{
    QImage picture(side, side, format);
    const int h = side / 2;
    QPainter p(&picture);
    p.fillRect(0, 0, h, h, Qt::red);
    p.fillRect(h, 0, side - h, h, Qt::blue);
    p.fillRect(0, h, h, side - h, Qt::green);
    p.fillRect(h, h, side - h, side - h, Qt::yellow);
    return picture;
}

QByteArray BigEndian(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

// A JPEG's bytes with an EXIF orientation tag; 6 says: turn 90 degrees clockwise to view.
QByteArray WithExifOrientation(const QByteArray& jpeg, char orientation)
{
    QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25);
    exif.append(orientation).append(6, '\0'); // the value's padding, then no further directory
    const int length = static_cast<int>(exif.size()) + 2;
    return jpeg.left(2) + "\xFF\xE1" + char(length >> 8) + char(length & 0xFF) + exif + jpeg.mid(2);
}

// The start of a 20000 x 20000 PNG (400 megapixels): its header, without pixels.
QByteArray HugePngHeader()
{
    auto chunk = [](const char* type, const QByteArray& data) {
        const QByteArray body = type + data;
        quint32 crc = 0xFFFFFFFF;
        for (char ch : body) {
            crc ^= static_cast<quint8>(ch);
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return BigEndian(static_cast<quint32>(data.size())) + body + BigEndian(~crc);
    };
    const QByteArray ihdr = BigEndian(20000) + BigEndian(20000) + QByteArray("\x08\x02\0\0\0", 5);
    return QByteArray("\x89PNG\r\n\x1A\n") + chunk("IHDR", ihdr) + chunk("IDAT", {}) + chunk("IEND", {});
}

// The logos: 8000 x 8000 JPEG (turned by EXIF) and PNG, 1 x 1, not a picture, too large.
void WriteLogoFiles(const QString& dir)
{
    {
        const QImage big = Quarters(8000, QImage::Format_RGB888);
        QBuffer jpeg;
        jpeg.open(QIODevice::WriteOnly);
        ASSERT_TRUE(big.save(&jpeg, "JPG", 80));
        QFile turned(QDir(dir).filePath("big.jpg"));
        ASSERT_TRUE(turned.open(QIODevice::WriteOnly));
        turned.write(WithExifOrientation(jpeg.data(), 6));
        turned.close();
        QImageWriter png(QDir(dir).filePath("big.png"), "png");
        png.setCompression(1);
        ASSERT_TRUE(png.write(big));
    }
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::magenta);
    ASSERT_TRUE(dot.save(QDir(dir).filePath("dot.png")));
    QFile text(QDir(dir).filePath("text.jpg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
    text.close();
    QFile huge(QDir(dir).filePath("huge.png"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.write(HugePngHeader()) > 0);
    huge.close();
}

TEST_F(CommandsTest, LogosOfEverySizeAreDrawnAsSmallOnes)
{
    // The middles of the logo's four quarters in the preview (its middle fifth).
    const QPointF origin(249 / 2.5, 257 / 2.5);
    const QSizeF size(249 * 0.2, 257 * 0.2);
    auto quarter = [&](double fx, double fy) {
        return form->PreviewImage().pixelColor((origin + QPointF(size.width() * fx, size.height() * fy)).toPoint());
    };
    auto quarters = [&] {
        return std::vector{quarter(.25, .25), quarter(.75, .25), quarter(.25, .75), quarter(.75, .75)};
    };
    auto near = [](const std::vector<QColor>& got, const std::vector<QColor>& want) {
        for (size_t i = 0; i < want.size(); ++i)
            if (std::abs(got[i].red() - want[i].red()) + std::abs(got[i].green() - want[i].green()) +
                    std::abs(got[i].blue() - want[i].blue()) >
                90)
                return false;
        return true;
    };
    ASSERT_NO_FATAL_FAILURE(WriteLogoFiles(programDir.path()));

    const QColor r = Qt::red, b = Qt::blue, g = Qt::green, y = Qt::yellow, m = Qt::magenta;
    struct Case {
        const char* file;
        std::vector<QColor> quarters; // top left, top right, bottom left, bottom right
        QString status;
    } cases[] = {
        {"big.jpg", {g, r, y, b}, "二维码生成完毕!"}, // turned as its EXIF tag says
        {"big.png", {r, b, g, y}, "二维码生成完毕!"},
        {"dot.png", {m, m, m, m}, "二维码生成完毕!"},
        {"text.jpg", {m, m, m, m}, "二维码生成完毕!"}, // not a picture: the logo stays, silently
        {"huge.png", {m, m, m, m}, "LOGO图片过大,请选择1亿像素以内的图片"},
    };
    Generate("logo sizes");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        services.fileToChoose = programDir.filePath(c.file);
        QTest::mouseClick(form->Command4, Qt::LeftButton);
        EXPECT_TRUE(near(quarters(), c.quarters));
        EXPECT_EQ(form->StatusText(), c.status);
        // What is kept is no larger than the export draws it.
        EXPECT_LE(form->Image3().width(), 134);
        EXPECT_LE(form->Image3().height(), 134);
    }
}

} // namespace
