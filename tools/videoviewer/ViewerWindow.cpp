#include "tools/videoviewer/ViewerWindow.h"

#include <QCloseEvent>
#include <QPainter>

ViewerWindow::ViewerWindow(const QString &address, QWidget *parent) : QWidget(parent), m_address(address)
{
    setWindowTitle(QStringLiteral("Quorvel Tavrik"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(64, 48);
    resize(640, 480);
}

void ViewerWindow::ShowPicture(const QImage &picture)
{
    m_picture = picture;
    m_hasSignal = true;
    update();
}

void ViewerWindow::ShowNoSignal(const QString &reason)
{
    m_hasSignal = false;
    m_picture = QImage();
    m_reason = reason;
    update();
}

void ViewerWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_hasSignal || m_picture.isNull()) {
        PaintNoSignal(painter);
        return;
    }
    painter.fillRect(rect(), Qt::black);
    const QSize size = m_picture.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}

void ViewerWindow::PaintNoSignal(QPainter &painter)
{
    painter.fillRect(rect(), QColor(24, 24, 32));
    // A strip of muted colour bars says "video pane, nothing coming in" at a glance.
    static const QColor bars[] = {QColor(110, 110, 110), QColor(110, 110, 30), QColor(30, 110, 110),
                                  QColor(30, 110, 30),   QColor(110, 30, 110), QColor(110, 30, 30),
                                  QColor(30, 30, 110)};
    const int barCount = int(std::size(bars));
    const int barTop = height() / 8;
    const int barHeight = height() / 4;
    for (int i = 0; i < barCount; ++i) {
        const int left = width() * i / barCount;
        const int right = width() * (i + 1) / barCount;
        painter.fillRect(QRect(left, barTop, right - left, barHeight), bars[i]);
    }

    QFont big = font();
    big.setBold(true);
    big.setPixelSize(qMax(12, qMin(width() / 9, height() / 6)));
    painter.setFont(big);
    painter.setPen(QColor(235, 235, 235));
    const QRect textArea(0, barTop + barHeight, width(), height() / 3);
    painter.drawText(textArea, Qt::AlignCenter, tr("NO SIGNAL"));

    QFont small = font();
    small.setPixelSize(qMax(9, big.pixelSize() / 4));
    painter.setFont(small);
    painter.setPen(QColor(170, 170, 180));
    QString detail = m_address.isEmpty() ? tr("No video address in ./Video/config.ini") : m_address;
    if (!m_reason.isEmpty())
        detail += QStringLiteral("\n") + m_reason;
    detail += QStringLiteral("\n") + tr("Retrying every second");
    painter.drawText(QRect(0, textArea.bottom(), width(), height() - textArea.bottom()),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, detail);
}

void ViewerWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit Closed();
}
