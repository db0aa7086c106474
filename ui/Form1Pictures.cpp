// The commands on the picture: save, copy, logo, clear.
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "Form1.h"
#include "FormServices.h"
#include "Render.h"

namespace {

const QString kSaveTitle = QStringLiteral("Vorlane系列软件");
const QString kHintTitle = QStringLiteral("提示");

bool DirectoryWritable(const QString& dir)
{
    if (!QFileInfo(dir).isDir()) return false;
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".vorlane-probe-XXXXXX")));
    return probe.open();
}

// Writes the picture as JPEG to a temporary name in the same folder and renames it
// over path: a failed write leaves the previous file as it was and no partial file.
bool SaveWhole(const QImage& picture, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QImageWriter writer(&file, "jpg");
    writer.setQuality(95);
    if (!writer.write(picture)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

QImage Form1::ComposeExport() const { return ::ComposeExport(image1_, image3_, kExportSize); }

void Form1::Command2_Click()
{
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("请先生成二维码后在进行保存!"));
        return;
    }
    const QString stamp = QStringLiteral("HD") + services_.Now().toString(QStringLiteral("yyyyMMddHHmmss"));
    QString dir = services_.ProgramDir();
    // An installed program's folder belongs to the package manager, even when writable (root, an unpacked
    // package): use the pictures folder, as for a read-only folder.
    const bool inProgramDir = InstalledDataDir(dir).isEmpty() && DirectoryWritable(dir);
    if (!inProgramDir) {
        dir = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        QDir().mkpath(dir);
    }
    // A second save within the same second gets a suffix instead of replacing the picture just saved.
    QString name = stamp + QStringLiteral(".jpg");
    for (int n = 2; QFileInfo::exists(QDir(dir).absoluteFilePath(name)); ++n)
        name = stamp + QLatin1Char('_') + QString::number(n) + QStringLiteral(".jpg");
    const QString path = QDir(dir).absoluteFilePath(name);
    savedPath_ = path;
    const bool saved = SaveWhole(ComposeExport(), path);
    if (!saved)
        services_.Inform(this, kSaveTitle, QStringLiteral("二维码图片保存失败!路径:") + QDir::toNativeSeparators(path));
    else if (inProgramDir)
        services_.Inform(this, kSaveTitle, QStringLiteral("二维码图片已保存在当前目录下!名称:") + name);
    else services_.Inform(this, kSaveTitle, QStringLiteral("二维码图片已保存!路径:") + QDir::toNativeSeparators(path));
}

void Form1::Command3_Click()
{
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("请先生成二维码后在进行复制!"));
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(ComposeExport());
    SetStatus(QStringLiteral("已复制到剪贴板!"));
}

void Form1::Command4_Click()
{
    services_.Inform(this, kHintTitle, QStringLiteral("建议上传300px*300px的JPG图片"));
    const QString file = services_.ChooseFile(this, QStringLiteral("选择LOGO"), QStringLiteral("JPG图片 (*.jpg)"));
    if (file.isEmpty()) return;
    // A file that is not a picture leaves the logo as it was, without a word.
    const auto logo = LoadLogo(file);
    if (!logo && logo.error() == LogoError::TooLarge) {
        SetStatus(QStringLiteral("LOGO图片过大,请选择1亿像素以内的图片"));
        return;
    }
    if (logo) {
        SupersedeLookup();
        image3_ = *logo;
    }
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("LOGO已设置，请生成二维码"));
        return;
    }
    PaintLogo(canvas_, image3_);
    ShowCanvas();
}

void Form1::qk_Click()
{
    SupersedeLookup();
    if (image1_.isNull()) {
        SetStatus(QStringLiteral("没有二维条码,无需清除"));
        return;
    }
    canvas_ = ComposePicture(QImage(), QImage(), canvas_.size());
    ShowCanvas();
    image1_ = QImage();
    image3_ = QImage();
    Label2->show();
    SetStatus(QStringLiteral("二维码已清除"));
    Text1->clear();
}
