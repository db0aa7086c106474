// The window program.
#include <QApplication>

#include "Form1.h"
#include "FormServices.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorlane-qr"));
    DesktopServices services;
    Form1 window(services);
    window.Form_Load();
    return QApplication::exec();
}
