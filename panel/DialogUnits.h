#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Dialog templates are laid out in dialog units: a quarter of the dialog font's average character
// width horizontally and an eighth of its height vertically. The conversion follows the classic
// rules so that layouts keep their proportions: the average width is that of the 52 Latin letters,
// rounded, and rectangles are converted corner by corner with rounding, as MulDiv does.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont &font);
    DialogUnits(int baseX, int baseY);

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

    int mapX(int x) const;
    int mapY(int y) const;
    // x, y, width, height in dialog units to a pixel rectangle.
    QRect map(int x, int y, int width, int height) const;
    QSize mapSize(int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};
