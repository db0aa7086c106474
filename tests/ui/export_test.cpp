// What 保存 writes and what 复制 puts on the clipboard, read back at every version
// at level Q, with and without a logo, by three readers nobody here wrote: zbar,
// Debian's ZXing (zxing-cpp 1.4) and zxing-cpp 2.x (WebAssembly).
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <iostream>

#include "FakeServices.h"
#include "Form1.h"
#include "Readers.h"
#include "Render.h"
#include "ZxingWasm.h"

namespace {

using namespace testsupport;

int VersionOf(const QImage& symbol) { return (symbol.width() - 8 - 17) / 4; } // one pixel a module, quiet zone 4

// Lower-case letters only, so that the whole text is one byte-mode segment.
QString Letters(int n)
{
    QString text;
    uint32_t x = 12345;
    for (int i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        text += QChar('a' + (x >> 16) % 26);
    }
    return text;
}

// The shortest text of those letters that needs version v at level Q.
QString TextNeeding(int v, PayloadEncoder& encoder, const QString& longest)
{
    int low = 1, high = static_cast<int>(longest.size());
    while (low < high) {
        const int mid = (low + high) / 2;
        const QImage symbol = encoder.Encode(longest.left(mid));
        if (!symbol.isNull() && VersionOf(symbol) >= v) high = mid;
        else low = mid + 1;
    }
    return longest.left(low);
}

std::string ZxingFile(const QString& path)
{
    return Shell("ZXingReader -bytes -format QRCode '" + path.toStdString() + "' 2>/dev/null");
}

std::string LowerHex(const std::string& bytes)
{
    std::string hex = Hex(bytes, "");
    for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
}

struct Picture {
    int version;
    bool logo, copied;
    QString path;
    std::string text;
};

// For each version, with or without the logo chosen: generates a text that needs
// it, then 保存 and 复制, each with a click; the clipboard's picture goes to a file.
void SaveAndCopy(Form1& form, const std::vector<std::pair<int, bool>>& cases, const QString& dir,
                 std::vector<Picture>& pictures)
{
    PayloadEncoder encoder;
    const QString longest = Letters(1663);
    for (auto [v, withLogo] : cases) {
        if (withLogo && form.Image3().isNull()) QTest::mouseClick(form.Command4, Qt::LeftButton);
        const QString text = TextNeeding(v, encoder, longest);
        form.Text1->setPlainText(text);
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        ASSERT_EQ(VersionOf(form.Image1()), v);
        QTest::mouseClick(form.Command2, Qt::LeftButton);
        pictures.push_back({v, withLogo, false, form.SavedPath(), text.toStdString()});
        QTest::mouseClick(form.Command3, Qt::LeftButton);
        const QString copy = QDir(dir).filePath(QString("copy-%1-%2.png").arg(v).arg(withLogo));
        const QImage copied = QGuiApplication::clipboard()->image();
        ASSERT_EQ(copied.size(), QSize(kExportSize, kExportSize));
        ASSERT_TRUE(copied.save(copy));
        pictures.push_back({v, withLogo, true, copy, text.toStdString()});
    }
}

// One line for each picture a reader does not read back as its text.
std::string Unread(const std::vector<Picture>& pictures)
{
    std::vector<std::vector<WasmSymbol>> wasm;
    const bool haveWasm = ZxingWasmAvailable();
    if (haveWasm) {
        std::vector<std::string> files;
        for (const Picture& p : pictures) files.push_back(p.path.toStdString());
        wasm = ZxingWasmFiles(files);
        if (wasm.size() != pictures.size()) return "zxing-cpp 2.x did not answer for every file\n";
    }
    std::string unread;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        const std::string what =
            " v" + std::to_string(p.version) + (p.logo ? " logo" : "") + (p.copied ? " copied" : " saved") + "\n";
        if (ZbarFile(p.path) != p.text) unread += "zbar" + what;
        if (ZxingFile(p.path) != p.text) unread += "ZXing 1.4" + what;
        if (haveWasm && (wasm[i].size() != 1 || wasm[i][0].bytesHex != LowerHex(p.text)))
            unread += "zxing-cpp 2.x" + what;
    }
    std::cout << pictures.size() << " pictures read by zbar, ZXing 1.4"
              << (haveWasm ? ", zxing-cpp 2.x" : " (zxing-wasm is not installed)") << "\n";
    return unread;
}

TEST(Export, SavedAndCopiedPicturesReadBackAtEveryVersion)
{
    QTemporaryDir dir;
    FakeServices services;
    services.programDir = dir.path();
    qputenv("VORLANE_API_URL", "http://127.0.0.1:9");
    Form1 form(services);
    form.Form_Load();
    form.Timer2->stop();
    form.EnableCommands();
    QImage logo(100, 100, QImage::Format_RGB32); // a photo-like logo: a colour ramp
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) logo.setPixel(x, y, qRgb(x * 255 / 99, y * 255 / 99, 160));
    services.fileToChoose = dir.filePath("logo.jpg");
    ASSERT_TRUE(logo.save(services.fileToChoose));
    std::vector<std::pair<int, bool>> cases;
    for (int v = 1; v <= 40; ++v) cases.emplace_back(v, false);
    for (int v : {1, 5, 10, 20, 30, 40}) cases.emplace_back(v, true);
    std::vector<Picture> pictures;
    ASSERT_NO_FATAL_FAILURE(SaveAndCopy(form, cases, dir.path(), pictures));
    ASSERT_EQ(pictures.size(), 2 * cases.size());
    EXPECT_EQ(Unread(pictures), "");
}

} // namespace
