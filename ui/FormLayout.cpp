#include "FormLayout.h"

#include <QEvent>

FitLabel::FitLabel(const QString& text, QWidget* parent, QRect place) : QLabel(text, parent)
{
    setGeometry(place);
    setMinimumSize(place.size());
}

bool FitLabel::event(QEvent* event)
{
    // Measured lazily: a label on a frame nobody opens costs no text layout at start-up.
    const QEvent::Type type = event->type();
    if (type == QEvent::Show || ((type == QEvent::FontChange || type == QEvent::StyleChange) && isVisible()))
        FitToText(this);
    return QLabel::event(event);
}
