#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <cstdlib>

namespace trawl::ui {

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width over both alphabets, rounded, as dialog layouts have always measured it.
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (alphabet / 26 + 1) / 2);
    m_baseY = std::max(1, metrics.height());
}

int DialogUnits::Scale(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : -((-product + half) / denominator));
}

} // namespace trawl::ui
