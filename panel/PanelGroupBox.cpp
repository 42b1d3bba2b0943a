#include "panel/PanelGroupBox.h"

#include <QPainter>

#include <algorithm>

PanelGroupBox::PanelGroupBox(const QString &title, QWidget *parent)
    : QGroupBox(title, parent)
{
}

QRect PanelGroupBox::titleRect() const
{
    if (title().isEmpty())
        return {};
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(title()) + 2 * TitlePadding;
    return {TitleIndent, 0, std::min(width, std::max(0, this->width() - 2 * TitleIndent)), metrics.height()};
}

void PanelGroupBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int top = title().isEmpty() ? 0 : metrics.height() / 2;
    painter.setPen(QPen(FrameColour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(0, top, width() - 1, height() - top - 1));

    const QRect patch = titleRect();
    if (patch.isEmpty())
        return;
    painter.fillRect(patch, palette().color(QPalette::Window));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    // Cut only when the box itself is too narrow for the title.
    const QRect text = patch.adjusted(TitlePadding, 0, -TitlePadding, 0);
    const QString shown = metrics.horizontalAdvance(title()) <= text.width()
        ? title()
        : metrics.elidedText(title(), Qt::ElideRight, text.width());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, shown);
}
