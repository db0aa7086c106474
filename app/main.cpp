// The window program.
#include <QApplication>
#include <QFile>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <thread>

#include "Form1.h"
#include "FormServices.h"
#include "Language.h"

int main(int argc, char** argv)
{
    // Reading the font configuration (some sixty files) is the largest single step of
    // start-up; it runs while the application connects to the display, which mostly
    // waits for the X server. Qt finds the configuration ready when it first needs a font.
    std::thread fontConfig([] { FcInit(); });
    QApplication app(argc, argv);
    fontConfig.join();
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

    window.Form_Load();
    return QApplication::exec();
}
