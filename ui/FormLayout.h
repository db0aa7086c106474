#pragma once
// Units and fonts of the window's layout.
#include <QFont>
#include <QRect>
#include <QString>

// Layout figures are the original twips; 15 twips make a pixel.
inline QRect Twips(int left, int top, int width, int height) { return {left / 15, top / 15, width / 15, height / 15}; }

// The window's fonts, each with installed CJK fallbacks.
enum class FormFont { YaHei975, YaHei9, YaHei105, Tahoma };

inline QFont MakeFont(FormFont which)
{
    const bool tahoma = which == FormFont::Tahoma;
    QFont f;
    f.setFamilies({tahoma ? QStringLiteral("Tahoma") : QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Sans SC"), QStringLiteral("Droid Sans Fallback")});
    switch (which) {
    case FormFont::YaHei975: f.setPointSizeF(9.75); break;
    case FormFont::YaHei9: f.setPointSizeF(9); break;
    case FormFont::YaHei105: f.setPointSizeF(10.5); break;
    case FormFont::Tahoma: f.setPointSizeF(8.25); break;
    }
    return f;
}
