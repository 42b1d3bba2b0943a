#include "panel/DialogUnits.h"

#include <QFontMetrics>

namespace {

// value * numerator / denominator rounded half away from zero, like the platform's MulDiv.
int mulDiv(int value, int numerator, int denominator)
{
    if (denominator == 0)
        return 0;
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

} // namespace

DialogUnits::DialogUnits(const QFont &font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
    if (m_baseX < 1)
        m_baseX = 1;
    if (m_baseY < 1)
        m_baseY = 1;
}

DialogUnits::DialogUnits(int baseX, int baseY)
    : m_baseX(baseX)
    , m_baseY(baseY)
{
}

int DialogUnits::mapX(int x) const
{
    return mulDiv(x, m_baseX, 4);
}

int DialogUnits::mapY(int y) const
{
    return mulDiv(y, m_baseY, 8);
}

QRect DialogUnits::map(int x, int y, int width, int height) const
{
    const int left = mapX(x);
    const int top = mapY(y);
    return QRect(left, top, mapX(x + width) - left, mapY(y + height) - top);
}

QSize DialogUnits::mapSize(int width, int height) const
{
    return QSize(mapX(width), mapY(height));
}
