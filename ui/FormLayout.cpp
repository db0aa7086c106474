#include "FormLayout.h"

#include <QEvent>

bool RefitsOn(const QWidget* control, const QEvent* event)
{
    // Measured lazily: a caption on a frame nobody opens costs no text layout at start-up.
    const QEvent::Type type = event->type();
    return type == QEvent::Show ||
           ((type == QEvent::FontChange || type == QEvent::StyleChange) && control->isVisible());
}
