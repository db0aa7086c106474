#include <QApplication>

#include "Language.h"
#include "QtTestMain.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return testsupport::RunQtTests<QApplication>(argc, argv, LoadQtChinese); // Chinese, as the program starts
}
