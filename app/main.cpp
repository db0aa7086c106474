// The window program.
#include <QApplication>
#include <QFile>
#include <memory>

#include "Form1.h"
#include "FormServices.h"
#include "Language.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorlane-qr"));
    LoadQtChinese(); // the standard buttons and dialogs speak the window's language
    DesktopServices services;
    Form1 window(services);

    // For scripted runs: every status text, one per line, appended to this file.
    std::unique_ptr<QFile> statusLog;
    const QString logPath = qEnvironmentVariable("VORLANE_STATUS_LOG");
    if (!logPath.isEmpty()) {
        statusLog = std::make_unique<QFile>(logPath);
        if (statusLog->open(QIODevice::Append | QIODevice::Text))
            QObject::connect(&window, &Form1::StatusChanged, &window, [&statusLog](const QString& text) {
                statusLog->write(text.toUtf8() + '\n');
                statusLog->flush();
            });
    }

    window.Start();
    return QApplication::exec();
}
