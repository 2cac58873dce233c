#pragma once

#include <QFont>
#include <QRect>

namespace trawl::ui {

// The window is laid out in dialog units, which follow the window font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height. Laying out
// in them keeps the proportions of every page whatever font and screen the desktop uses.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int x(int units) const { return Scale(units, m_baseX, 4); }
    int y(int units) const { return Scale(units, m_baseY, 8); }
    QRect rect(int left, int top, int width, int height) const { return QRect(x(left), y(top), x(width), y(height)); }
    QSize size(int width, int height) const { return QSize(x(width), y(height)); }

    // Pixels back to whole units (rounded to the nearest).
    int unitsX(int pixels) const { return Scale(pixels, 4, m_baseX); }
    int unitsY(int pixels) const { return Scale(pixels, 8, m_baseY); }

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

private:
    // value * numerator / denominator, rounded half away from zero.
    static int Scale(int value, int numerator, int denominator);

    int m_baseX = 6;
    int m_baseY = 13;
};

} // namespace trawl::ui
