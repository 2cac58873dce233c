#pragma once

#include "ui/DialogUnits.h"

#include <QWidget>

namespace trawl::ui {

// The window's `Width` and `Height` as a page sees them. Page positions are written against the
// window's outer size in dialog units; a page recovers it from its own size, so its controls fit the
// page whatever room the tab bar and frames of this desktop take.
struct PageSize {
    int W = 0;
    int H = 0;

    // A tab page is this much narrower and lower than the window's outer size.
    static constexpr int kWidthOverhead = 27;
    static constexpr int kHeightOverhead = 96;

    static PageSize Of(const QWidget& page, const DialogUnits& units)
    {
        return {units.unitsX(page.width()) + kWidthOverhead, units.unitsY(page.height()) + kHeightOverhead};
    }
};

// A tab page that places its controls itself whenever its size changes.
class LaidOutPage : public QWidget {
public:
    explicit LaidOutPage(const DialogUnits& units, QWidget* parent = nullptr) : QWidget(parent), m_units(units) {}
    // Places the controls for the page's size (PageSize).
    virtual void Lay() = 0;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        Lay();
    }
    DialogUnits m_units;
};

// Puts a control at its place in dialog units. A label or button whose text needs more room than its
// place gives (a font wider than the one the layout was drawn for) grows to fit its text: a
// right-aligned label to the left, anything else to the right, never past its parent's left edge.
void Place(QWidget& widget, const DialogUnits& units, int x, int y, int width, int height);

} // namespace trawl::ui
