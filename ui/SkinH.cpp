#include "SkinH.h"

#include <QApplication>
#include <QFile>

int SkinH_AttachEx(const QString& skinFile, const QString& /*password*/)
{
    QFile file(skinFile);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
    return 1;
}
