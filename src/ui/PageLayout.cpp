#include "ui/PageLayout.h"

#include <QAbstractButton>
#include <QLabel>

namespace trawl::ui {

void Place(QWidget& widget, const DialogUnits& units, int x, int y, int width, int height)
{
    QRect place = units.rect(x, y, width, height);
    const auto* label = qobject_cast<const QLabel*>(&widget);
    if (label != nullptr || qobject_cast<const QAbstractButton*>(&widget) != nullptr) {
        const int needed = widget.sizeHint().width();
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
