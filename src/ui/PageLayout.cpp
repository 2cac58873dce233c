#include "ui/PageLayout.h"

#include <QAbstractButton>
#include <QLabel>

namespace trawl::ui {

void Place(QWidget& widget, const DialogUnits& units, int x, int y, int width, int height)
{
    QRect place = units.rect(x, y, width, height);
    const auto* label = qobject_cast<const QLabel*>(&widget);
    const auto* button = qobject_cast<const QAbstractButton*>(&widget);
    // A label that wraps its words fits by wrapping.
    if ((label != nullptr && !label->wordWrap()) || button != nullptr) {
        // A button's text with a little room each side (its size hint would also impose the style's
        // minimum button width, which the layout does not want).
        const int needed = button != nullptr ? button->fontMetrics().horizontalAdvance(button->text()) + 2 * units.x(3)
                                             : widget.sizeHint().width();
        if (needed > place.width()) {
            if (label != nullptr && (label->alignment() & Qt::AlignRight)) {
                place.setLeft(std::max(0, place.right() + 1 - needed));
            } else {
                place.setWidth(needed);
            }
        }
    }
    widget.setGeometry(place);
}

} // namespace trawl::ui
