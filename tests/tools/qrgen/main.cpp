#include <QCoreApplication>

#include "QtTestMain.h"

int main(int argc, char** argv) { return testsupport::RunQtTests<QCoreApplication>(argc, argv); }
