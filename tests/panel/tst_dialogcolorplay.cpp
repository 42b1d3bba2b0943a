// The sorting-game dialog: the frames its buttons, rows and threshold send, and its names.
#include "controls/TrackBar.h"
#include "panel/CDialogColorPlay.h"

#include <QAccessible>
#include <QRadioButton>
#include <QtTest>

class TestDialogColorPlay : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_frames.clear();
        m_messages.clear();
        CDialogColorPlay::setMessageHook([this](const QString &text) { m_messages << text; });
        m_dialog = std::make_unique<CDialogColorPlay>([this](const std::string &f) { m_frames << QString::fromStdString(f); });
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
    void cleanup() { m_dialog.reset(), CDialogColorPlay::setMessageHook({}); }
    void startsEmptyAndNamed()
    {
        QVERIFY(m_dialog->findChild<QRadioButton *>("1141")->isChecked() && m_dialog->calibrationMode() == 0);
        for (int row = 1; row <= 4; ++row)
            QVERIFY(m_dialog->findChild<QRadioButton *>(QString::number(1121 + row))->isChecked());
        // Every control is named for assistive tools, focusable ones each differently.
        QSet<QString> focusable;
        for (QWidget *w : m_dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QString name = w->accessibleName();
            QVERIFY2(!name.isEmpty() && !(w->focusPolicy() != Qt::NoFocus && focusable.contains(name)), qPrintable(name));
            if (w->focusPolicy() != Qt::NoFocus)
                focusable.insert(name);
        }
        QVERIFY(focusable.contains(QStringLiteral("Row 3 Blue")) && focusable.contains(QStringLiteral("Move area up")));
    }
    void orderFrames_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QStringList>("frames"); // sort order, sort, stack order, stack
        QTest::newRow("none") << QList<int>{0, 0, 0, 0} << QStringList{"$0D060000013#", "$0D061000014#", "$0E060000014#", "$0E061000015#"};
        QTest::newRow("rgby") << QList<int>{1, 2, 3, 4} << QStringList{"$0D06012341d#", "$0D06112341e#", "$0E06012341e#", "$0E06112341f#"};
        QTest::newRow("repeated colour, back to none")
            << QList<int>{1, 1, 4, 0} << QStringList{"$0D060114019#", "$0D06111401a#", "$0E06011401a#", "$0E06111401b#"};
    }
    void orderFrames()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QStringList, frames);
        chooseRow(4, 2);
        for (int row = 1; row <= 4; ++row)
            chooseRow(row, rows.at(row - 1));
        const QColor expected[] = {Qt::white, QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 0)};
        for (int row = 1; row <= 4; ++row)
            QCOMPARE(m_dialog->swatchColor(row), expected[rows.at(row - 1)]);
        for (int id : {1135, 1136, 1137, 1138})
            click(id);
        QCOMPARE(takeFrames(), frames);
    }
    void garbageArrowsAndClose()
    {
        for (int id : {1139, 1140, 1144, 1145, 1146, 1147})
            click(id);
        QCOMPARE(takeFrames(), QStringList({"$12020115#", "$12020216#", "$1501117#", "$1501218#", "$1501319#", "$150141A#"}));
        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        click(1);
        QVERIFY(rejected.count() == 1 && takeFrames().isEmpty());
    }
    void calibration()
    {
        // Area mode: the fixed frames.
        for (int id : {1132, 1134, 1133})
            click(id);
        QCOMPARE(takeFrames(), QStringList({"$11020114#", "$11020215#", "$11020316#"}));
        // Colour mode explains itself on every click; chosen but not started, OK stays in area mode.
        chooseRow(1, 4);
        click(1142), click(1142);
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages.at(0).startsWith("Please select the color to be calibrated in the color selection order area. "
                                            "Then, press <Start>."));
        click(1134);
        QCOMPARE(takeFrames(), QStringList({"$11020215#"}));
        click(1132);
        QCOMPARE(takeFrames(), QStringList({"$1302141a#"}));
        // Back to area mode without Start: OK keeps the colour path, with row 1 as it is now.
        click(1141), chooseRow(1, 1), click(1134), click(1133);
        QCOMPARE(takeFrames(), QStringList({"$13022118#", "$13023119#"}));
        // Without a colour in row 1 the colour path only warns.
        chooseRow(1, 0), click(1142), click(1132), click(1134);
        QCOMPARE(takeFrames(), QStringList());
        QCOMPARE(m_messages.mid(3), QStringList(2, "Please select the color to be calibrated in the color selection order area!"));
    }
    void threshold()
    {
        QSlider *slider = m_dialog->threshold();
        slider->setFocus();
        // One key press: the step, then the end of the action at the release.
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(takeFrames(), QStringList({"$140300118#", "$140300118#"}));
        slider->setValue(90); // set from code: no notification
        QTest::keyClick(slider, Qt::Key_Left);
        QCOMPARE(takeFrames(), QStringList({"$140308970#", "$140308970#"}));
        // PageDown raises by a fifth of 255; right and middle clicks send nothing.
        QTest::keyClick(slider, Qt::Key_PageDown);
        QTest::mouseClick(slider, Qt::RightButton, {}, QPoint(4, slider->height() / 2));
        QTest::mouseClick(slider, Qt::MiddleButton, {}, QPoint(slider->width() - 2, slider->height() / 2));
        QCOMPARE(takeFrames(), QStringList({"$1403140a3#", "$1403140a3#"}));
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(takeFrames(), QStringList({"$140325516#", "$140325516#"}));
    }
    void assistiveToolsActLikeClicks()
    {
        // A row radio checked through assistive technology sets the order as a click does.
        auto *radio = m_dialog->findChild<QAbstractButton *>("1108"); // row 1 "Blue"
        QAccessible::queryAccessibleInterface(radio)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(m_dialog->order() == "3000" && m_dialog->swatchColor(1) == QColor(0, 0, 255));
        // Checking "Color calibration" that way explains the mode once, a real click on it once more.
        auto *mode = m_dialog->findChild<QAbstractButton *>("1142");
        QAccessible::queryAccessibleInterface(mode)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        click(1142);
        QCOMPARE(m_messages.size(), 2);
        // The threshold set by assistive technology sends once.
        QAccessible::queryAccessibleInterface(m_dialog->threshold())->valueInterface()->setCurrentValue(90);
        QCOMPARE(takeFrames(), QStringList({"$140309071#"}));
    }

private:
    QStringList takeFrames() { return std::exchange(m_frames, {}); }
    void click(int id)
    {
        auto *button = m_dialog->findChild<QAbstractButton *>(QString::number(id));
        QVERIFY2(button, qPrintable(QString::number(id)));
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
    }
    // colour 0 is "No", 1 to 4 red, green, blue, yellow.
    void chooseRow(int row, int colour) { click(colour == 0 ? 1122 + row - 1 : 1106 + (row - 1) * 4 + colour - 1); }

    std::unique_ptr<CDialogColorPlay> m_dialog;
    QStringList m_frames;
    QStringList m_messages;
};

QTEST_MAIN(TestDialogColorPlay)
#include "tst_dialogcolorplay.moc"
