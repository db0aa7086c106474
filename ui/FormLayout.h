#pragma once
// Units and fonts of the window's layout.
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QRect>
#include <QString>

// Layout figures are the original twips; 15 twips make a pixel.
inline QRect Twips(int left, int top, int width, int height) { return {left / 15, top / 15, width / 15, height / 15}; }

// The window's fonts, each with installed CJK fallbacks.
enum class FormFont { YaHei975, YaHei9, YaHei105, Tahoma };

// The families in the order asked for, only those installed (all of them when none
// is): each family that is missing costs a fallback search through fontconfig for
// every size, and the window's first choices are rarely on a Linux desktop.
inline QStringList InstalledFamilies(const QStringList& wanted)
{
    QStringList installed = QFontDatabase::families();
    for (QString& family : installed) family = family.section(QStringLiteral(" ["), 0, 0); // "name [foundry]"
    QStringList found;
    for (const QString& family : wanted)
        if (installed.contains(family, Qt::CaseInsensitive)) found << family;
    return found.isEmpty() ? wanted : found;
}

inline QFont MakeFont(FormFont which)
{
    static const QStringList yaHei = InstalledFamilies(
        {QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
         QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"), QStringLiteral("Droid Sans Fallback")});
    static const QStringList tahoma = InstalledFamilies(QStringList{QStringLiteral("Tahoma")} + yaHei);
    QFont f;
    f.setFamilies(which == FormFont::Tahoma ? tahoma : yaHei);
    switch (which) {
    case FormFont::YaHei975: f.setPointSizeF(9.75); break;
    case FormFont::YaHei9: f.setPointSizeF(9); break;
    case FormFont::YaHei105: f.setPointSizeF(10.5); break;
    case FormFont::Tahoma: f.setPointSizeF(8.25); break;
    }
    return f;
}

// Makes a control whose least size is its place large enough for its whole text.
inline void FitToText(QWidget* control) { control->resize(control->sizeHint().expandedTo(control->minimumSize())); }

// Whether a fitted control measures itself again: when shown, and when its font or
// style changes while it is shown.
bool RefitsOn(const QWidget* control, const QEvent* event);

// A caption, hint, counter or option the window writes: its place in the layout
// table is its least size, and it grows to the right and downwards until its whole
// text shows in the font it ends up with (the fallback CJK fonts are wider than the
// original, and a skin may change fonts). After setText, FitToText fits it again.
template <class Control>
class Fitted : public Control {
public:
    Fitted(const QString& text, QWidget* parent, QRect place) : Control(text, parent)
    {
        this->setGeometry(place);
        this->setMinimumSize(place.size());
    }

protected:
    bool event(QEvent* event) override
    {
        if (RefitsOn(this, event)) FitToText(this);
        return Control::event(event);
    }
};

using FitLabel = Fitted<QLabel>;
