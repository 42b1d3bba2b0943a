#include "app/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace AppIcons {

namespace {

QPixmap canvas(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void page(QPainter &p, int x, int y)
{
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    QPolygon sheet;
    sheet << QPoint(x, y) << QPoint(x + 6, y) << QPoint(x + 9, y + 3) << QPoint(x + 9, y + 12) << QPoint(x, y + 12);
    p.drawPolygon(sheet);
    p.drawLine(x + 6, y, x + 6, y + 3);
    p.drawLine(x + 6, y + 3, x + 9, y + 3);
}

} // namespace

QIcon application()
{
    // A stylised desk arm: base, two links and a gripper, on the panel's blue.
    QPixmap pixmap = canvas(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x03, 0x29, 0x3E));
    p.drawRoundedRect(0, 0, 32, 32, 6, 6);
    p.setBrush(QColor(0x00, 0xC8, 0xE6));
    p.drawRect(7, 25, 14, 3);
    QPen link(QColor(240, 240, 240), 3.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(link);
    p.drawLine(14, 24, 11, 13);
    p.drawLine(11, 13, 22, 8);
    p.setPen(QPen(QColor(255, 170, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(22, 8, 26, 6);
    p.drawLine(22, 8, 26, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 80, 80));
    p.drawEllipse(QPointF(11, 13), 2.5, 2.5);
    p.end();
    return QIcon(pixmap);
}

QIcon tool(Tool which)
{
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    switch (which) {
    case Tool::New:
        page(p, 3, 1);
        break;
    case Tool::Open:
        p.setPen(QColor(120, 90, 0));
        p.setBrush(QColor(250, 210, 90));
        p.drawRect(1, 4, 12, 9);
        p.setBrush(QColor(255, 230, 140));
        p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
        break;
    case Tool::Save:
        p.setPen(QColor(20, 20, 80));
        p.setBrush(QColor(60, 80, 170));
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(4, 9, 7, 5);
        break;
    case Tool::Cut:
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(40, 40, 40), 1.2));
        p.drawLine(4, 1, 10, 10);
        p.drawLine(11, 1, 5, 10);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(4, 12), 2.2, 2.2);
        p.drawEllipse(QPointF(11, 12), 2.2, 2.2);
        break;
    case Tool::Copy:
        page(p, 1, 0);
        page(p, 6, 2);
        break;
    case Tool::Paste:
        p.setPen(QColor(90, 60, 20));
        p.setBrush(QColor(190, 140, 70));
        p.drawRect(1, 2, 10, 12);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(4, 1, 4, 2);
        page(p, 6, 2);
        break;
    case Tool::Print:
        p.setPen(QColor(50, 50, 50));
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 5);
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(1, 6, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 8, 4);
        p.setPen(QColor(0, 160, 0));
        p.drawPoint(13, 8);
        break;
    case Tool::About: {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0, 60, 140));
        p.setBrush(QColor(40, 120, 220));
        p.drawEllipse(1, 0, 14, 14);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(11);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace AppIcons
