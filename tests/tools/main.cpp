#include <QCoreApplication>

#include "QtTestMain.h"

VORLANE_QT_TEST_MAIN(QCoreApplication)
