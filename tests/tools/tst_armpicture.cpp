#include "tools/armsim/ArmModel.h"
#include "tools/armsim/ArmPicture.h"
#include "tools/armsim/ManualArmClock.h"

#include <QtTest>

namespace {

const QDateTime When(QDate(2024, 6, 11), QTime(12, 0, 0));

int differingPixels(const QImage &a, const QImage &b, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return n;
}

} // namespace

class TestArmPicture : public QObject
{
    Q_OBJECT

private slots:
    void lampShowsTheLight_data();
    void lampShowsTheLight();
    void armIsDrawnAtItsAngles();
    void clockMakesEveryPictureDifferent();
    void frozenArmIsFramed();
};

void TestArmPicture::lampShowsTheLight_data()
{
    QTest::addColumn<int>("light");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("red") << 1 << QColor(235, 40, 40);
    QTest::newRow("green") << 2 << QColor(40, 210, 70);
    QTest::newRow("blue") << 3 << QColor(50, 90, 240);
    QTest::newRow("on") << 4 << QColor(255, 250, 225);
    QTest::newRow("off") << 0 << QColor(60, 60, 60);
}

void TestArmPicture::lampShowsTheLight()
{
    QFETCH(int, light);
    QFETCH(QColor, expected);
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.setLight(static_cast<ArmModel::Light>(light));
    const QImage image = ArmPicture::Render(arm, When, 1);
    QCOMPARE(image.size(), QSize(ArmPicture::Width, ArmPicture::Height));
    QCOMPARE(QColor(image.pixel(600, 40)), expected);
}

void TestArmPicture::armIsDrawnAtItsAngles()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    const QImage middle = ArmPicture::Render(arm, When, 1);
    arm.moveAll({90, 150, 60, 40, 90, 180}, 1000);
    clock.advance(500);
    const QImage halfway = ArmPicture::Render(arm, When, 1);
    clock.advance(500);
    const QImage bent = ArmPicture::Render(arm, When, 1);
    const QRect armArea(200, 60, 300, 360);
    QVERIFY(differingPixels(middle, halfway, armArea) > 1000);
    QVERIFY(differingPixels(halfway, bent, armArea) > 1000);
    // Only the arm's base turn changes: the dial shows it, the side view stays.
    arm.moveServo(1, 20);
    clock.advance(1000);
    const QImage turned = ArmPicture::Render(arm, When, 1);
    QVERIFY(differingPixels(bent, turned, QRect(520, 260, 80, 80)) > 20);
}

void TestArmPicture::clockMakesEveryPictureDifferent()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    const QImage a = ArmPicture::Render(arm, When, 1);
    const QImage b = ArmPicture::Render(arm, When.addMSecs(1000), 1);
    QVERIFY(differingPixels(a, b, QRect(8, 8, 300, 30)) > 0);
    QCOMPARE(differingPixels(a, b, QRect(200, 140, 300, 280)), 0);
}

void TestArmPicture::frozenArmIsFramed()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.freeze();
    const QImage image = ArmPicture::Render(arm, When, 1);
    const QColor edge(image.pixel(320, 2));
    QVERIFY2(edge.red() > 180 && edge.green() < 80, qPrintable(edge.name()));
}

QTEST_MAIN(TestArmPicture)
#include "tst_armpicture.moc"
