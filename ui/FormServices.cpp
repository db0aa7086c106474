#include "FormServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "Browser.h"

void DesktopServices::Inform(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse); // an address shown here can be copied
    box.exec();
}

bool DesktopServices::AskYesNo(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QString DesktopServices::ChooseFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QDateTime DesktopServices::Now() { return QDateTime::currentDateTime(); }

void DesktopServices::OpenUrl(QWidget* parent, const QUrl& url, std::function<void(bool opened)> done)
{
    OpenInBrowser(parent, url, std::move(done));
}

void DesktopServices::Quit() { QCoreApplication::exit(0); }

QString DesktopServices::ProgramDir() { return QCoreApplication::applicationDirPath(); }

QString InstalledDataDir(const QString& programDir)
{
    const QString data = QDir::cleanPath(programDir + QStringLiteral("/../share/vorlane-qr"));
    return QFileInfo(data).isDir() ? data : QString();
}
