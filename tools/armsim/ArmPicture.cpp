#include "tools/armsim/ArmPicture.h"

#include "tools/armsim/ArmModel.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

QColor lightColour(ArmModel::Light light)
{
    switch (light) {
    case ArmModel::Light::Red: return QColor(235, 40, 40);
    case ArmModel::Light::Green: return QColor(40, 210, 70);
    case ArmModel::Light::Blue: return QColor(50, 90, 240);
    case ArmModel::Light::On: return QColor(255, 250, 225);
    case ArmModel::Light::Off: break;
    }
    return QColor(60, 60, 60);
}

// A link of the arm from p in direction (degrees from straight up, clockwise), returns its end.
QPointF drawLink(QPainter &p, QPointF from, double direction, double length, double width, const QColor &colour)
{
    const double rad = qDegreesToRadians(direction);
    const QPointF to = from + QPointF(std::sin(rad) * length, -std::cos(rad) * length);
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(from, to);
    p.setPen(QPen(QColor(30, 30, 30), 2));
    p.setBrush(QColor(200, 200, 205));
    p.drawEllipse(from, width * 0.45, width * 0.45);
    return to;
}

void drawDial(QPainter &p, QPointF centre, double radius, double angle, double maxAngle, const QString &label)
{
    p.setPen(QPen(QColor(90, 90, 100), 2));
    p.setBrush(QColor(30, 32, 40));
    p.drawEllipse(centre, radius, radius);
    const double rad = qDegreesToRadians(180.0 - angle * 180.0 / maxAngle);
    p.setPen(QPen(QColor(250, 200, 60), 3));
    p.drawLine(centre, centre + QPointF(std::cos(rad) * radius * 0.85, -std::sin(rad) * radius * 0.85));
    p.setPen(QColor(200, 200, 210));
    p.drawText(QRectF(centre.x() - 40, centre.y() + radius + 2, 80, 16), Qt::AlignCenter, label);
}

} // namespace

QImage ArmPicture::Render(const ArmModel &arm, const QDateTime &when, int frameNumber)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    const QColor light = lightColour(arm.light());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Backdrop tinted by the light, a floor and a grid so motion is easy to judge.
    QLinearGradient sky(0, 0, 0, Height);
    sky.setColorAt(0, QColor(24, 28, 38));
    sky.setColorAt(1, QColor(48, 52, 64));
    p.fillRect(image.rect(), sky);
    if (arm.light() != ArmModel::Light::Off) {
        QRadialGradient glow(QPointF(Width / 2.0, 120), 360);
        QColor c = light;
        c.setAlpha(70);
        glow.setColorAt(0, c);
        glow.setColorAt(1, Qt::transparent);
        p.fillRect(image.rect(), glow);
    }
    p.setPen(QColor(255, 255, 255, 18));
    for (int x = 0; x < Width; x += 40)
        p.drawLine(x, 0, x, Height);
    for (int y = 0; y < Height; y += 40)
        p.drawLine(0, y, Width, y);
    const double floorY = 420;
    p.fillRect(QRectF(0, floorY, Width, Height - floorY), QColor(70, 62, 52));

    // The arm: servo 2 shoulder, 3 elbow, 4 wrist bend in the picture plane; 1 (base turn) and
    // 5 (wrist turn) are shown as dials, 6 opens and closes the gripper.
    const ArmModel::Pose a = arm.angles();
    const QPointF base(Width / 2.0 + 50, floorY);
    p.setPen(QPen(QColor(20, 20, 20), 2));
    p.setBrush(QColor(90, 95, 110));
    p.drawRoundedRect(QRectF(base.x() - 60, floorY - 30, 120, 30), 6, 6);
    const QPointF shoulder = base + QPointF(0, -60);
    p.setBrush(QColor(120, 125, 140));
    p.drawRect(QRectF(base.x() - 22, floorY - 62, 44, 34));

    const QColor body(235, 150, 40);
    double direction = a[1] - 90;
    const QPointF elbow = drawLink(p, shoulder, direction, 120, 26, body);
    direction += a[2] - 90;
    const QPointF wrist = drawLink(p, elbow, direction, 105, 22, body);
    direction += a[3] - 90;
    const QPointF hand = drawLink(p, wrist, direction, 50, 18, QColor(220, 220, 225));

    // Gripper: 180 is closed, smaller angles open the jaws.
    const double open = std::clamp((180.0 - a[5]) / 180.0, 0.0, 1.0) * 24 + 4;
    const double rad = qDegreesToRadians(direction);
    const QPointF along(std::sin(rad), -std::cos(rad));
    const QPointF across(std::cos(rad), std::sin(rad));
    p.setPen(QPen(QColor(200, 200, 205), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(hand + across * open, hand + across * open + along * 30);
    p.drawLine(hand - across * open, hand - across * open + along * 30);
    p.setPen(QPen(QColor(30, 30, 30), 2));
    p.setBrush(light);
    p.drawEllipse(hand, 7, 7);

    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);
    drawDial(p, QPointF(560, 300), 34, a[0], 180, QStringLiteral("base %1").arg(qRound(a[0])));
    drawDial(p, QPointF(560, 380), 24, a[4], 270, QStringLiteral("wrist %1").arg(qRound(a[4])));

    // Text overlay: clock, angles, light, game, motion.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 140));
    p.drawRoundedRect(QRectF(8, 8, 300, 112), 6, 6);
    p.setPen(QColor(235, 235, 240));
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QPointF(18, 30), when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    font.setBold(false);
    font.setPixelSize(13);
    p.setFont(font);
    QString angles;
    for (double v : a)
        angles += QString::number(qRound(v)) + QLatin1Char(' ');
    p.drawText(QPointF(18, 52), QStringLiteral("angles %1").arg(angles.trimmed()));
    const QString motion = arm.frozen() ? QStringLiteral("FROZEN")
                           : arm.runningAction() ? QStringLiteral("action %1").arg(arm.runningAction())
                           : arm.moving() ? QStringLiteral("moving") : QStringLiteral("still");
    p.drawText(QPointF(18, 72), QStringLiteral("motion %1    frame %2").arg(motion).arg(frameNumber));
    const std::string &game = arm.games().active;
    p.drawText(QPointF(18, 92), QStringLiteral("game %1").arg(game.empty() ? QStringLiteral("none")
                                                                           : QString::fromStdString(game)));
    p.drawText(QPointF(18, 112), QStringLiteral("light %1").arg(QString::fromLatin1(ArmModel::LightName(arm.light()))));
    p.setPen(QPen(QColor(20, 20, 20), 2));
    p.setBrush(light);
    p.drawEllipse(QPointF(600, 40), 18, 18);

    if (arm.frozen()) {
        p.setPen(QPen(QColor(230, 40, 40), 4));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2, 2, Width - 4, Height - 4));
    }
    return image;
}
