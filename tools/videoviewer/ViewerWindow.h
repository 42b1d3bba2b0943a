#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

// The viewer's picture window: the latest camera picture scaled to the window, keeping its
// proportions, or a "no signal" card while there is no stream.
class ViewerWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ViewerWindow(const QString &address, QWidget *parent = nullptr);

    void ShowPicture(const QImage &picture);
    void ShowNoSignal(const QString &reason);

    bool HasSignal() const { return m_hasSignal; }

signals:
    void Closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void PaintNoSignal(class QPainter &painter);

    QString m_address;
    QString m_reason;
    QImage m_picture;
    bool m_hasSignal = false;
};
