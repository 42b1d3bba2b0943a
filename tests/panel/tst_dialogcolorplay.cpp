// The sorting-game dialog: the frames its buttons, rows and threshold send, and its names.
#include "controls/TrackBar.h"
#include "panel/CDialogColorPlay.h"

#include <QAccessible>
#include <QRadioButton>
#include <QTest>
#include <QSignalSpy>

class TestDialogColorPlay : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_frames = m_messages = QStringList();
        CDialogColorPlay::setMessageHook([this](const QString &text) { m_messages << text; });
        m_dialog = std::make_unique<CDialogColorPlay>([this](const std::string &f) { m_frames << f.c_str(); });
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
    void cleanup() { m_dialog.reset(), CDialogColorPlay::setMessageHook({}); }
    void startsEmptyAndNamed()
    {
        for (int id : {1141, 1122, 1123, 1124, 1125}) // area calibration, and no colour in any row
            QVERIFY(m_dialog->findChild<QRadioButton *>(QString::number(id))->isChecked());
        // Every control is named for assistive tools, focusable ones each differently.
        QSet<QString> focusable;
        for (QWidget *w : m_dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QString name = w->accessibleName();
            QVERIFY2(!name.isEmpty() && !(w->focusPolicy() && focusable.contains(name)), qPrintable(name));
            if (w->focusPolicy() != Qt::NoFocus)
                focusable.insert(name);
        }
        QVERIFY(focusable.contains(QStringLiteral("Row 3 Blue")) && focusable.contains(QStringLiteral("Move area up")));
    }
    void orderFrames()
    {
        // Row colours, then the frames of sort order, sort, stack order, stack (the last repeats one, clears one).
        const std::pair<QList<int>, QStringList> rows[] = {
            {{0, 0, 0, 0}, {"$0D060000013#", "$0D061000014#", "$0E060000014#", "$0E061000015#"}},
            {{1, 2, 3, 4}, {"$0D06012341d#", "$0D06112341e#", "$0E06012341e#", "$0E06112341f#"}},
            {{1, 1, 4, 0}, {"$0D060114019#", "$0D06111401a#", "$0E06011401a#", "$0E06111401b#"}},
        };
        const QColor colours[] = {Qt::white, Qt::red, Qt::green, Qt::blue, Qt::yellow};
        for (const auto &[colour, frames] : rows) {
            QList<int> ids{rowButton(4, 2)};
            for (int row = 1; row <= 4; ++row)
                ids << rowButton(row, colour.at(row - 1));
            QCOMPARE(sent(ids << 1135 << 1136 << 1137 << 1138), frames);
            for (int row = 1; row <= 4; ++row)
                QCOMPARE(m_dialog->swatchColor(row), colours[colour.at(row - 1)]);
        }
    }
    void buttonsAndClose()
    {
        QCOMPARE(sent({1139, 1140, 1144, 1145, 1146, 1147}), // garbage and arrows
                 QStringList({"$12020115#", "$12020216#", "$1501117#", "$1501218#", "$1501319#", "$150141A#"}));
        QCOMPARE(sent({1132, 1134, 1133}), QStringList({"$11020114#", "$11020215#", "$11020316#"})); // area mode
        // Colour mode explains itself on every click; chosen but not started, OK stays in area mode.
        QCOMPARE(sent({rowButton(1, 4), 1142, 1142, 1134}), QStringList({"$11020215#"}));
        const QString select = "Please select the color to be calibrated in the color selection order area";
        QVERIFY(m_messages.at(0).startsWith(select + ". Then, press <Start>."));
        QCOMPARE(sent({1132}), QStringList({"$1302141a#"}));
        // Back to area mode without Start: OK keeps the colour path, with row 1 as it is now.
        QCOMPARE(sent({1141, rowButton(1, 1), 1134, 1133}), QStringList({"$13022118#", "$13023119#"}));
        // Without a colour in row 1 the colour path only warns.
        QCOMPARE(sent({rowButton(1, 0), 1142, 1132, 1134}), QStringList());
        QCOMPARE(m_messages.mid(3), QStringList(2, select + "!"));
        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        QVERIFY(sent({1}).isEmpty() && rejected.count() == 1);
    }
    void thresholdAndAssistiveTools()
    {
        QSlider *slider = m_dialog->threshold();
        slider->setFocus();
        // Right and middle clicks send nothing.
        QTest::mouseClick(slider, Qt::RightButton, {}, QPoint(4, slider->height() / 2));
        QTest::mouseClick(slider, Qt::MiddleButton, {}, QPoint(slider->width() - 2, slider->height() / 2));
        // One key press: the step, then the end of the action at the release. PageDown raises by a fifth of 255.
        for (const auto &[key, frame] : {std::pair{Qt::Key_Right, "$140300118#"}, {Qt::Key_Left, "$140308970#"},
                                         {Qt::Key_PageDown, "$1403140a3#"}, {Qt::Key_End, "$140325516#"}}) {
            if (key == Qt::Key_Left)
                slider->setValue(90); // set from code: no notification
            QTest::keyClick(slider, key);
            QCOMPARE(sent(), QStringList(2, frame));
        }
        // The threshold set by assistive technology sends once.
        QAccessible::queryAccessibleInterface(slider)->valueInterface()->setCurrentValue(90);
        QCOMPARE(sent(), QStringList({"$140309071#"}));
        const auto toggle = [this](int id) {
            QAccessible::queryAccessibleInterface(m_dialog->findChild<QAbstractButton *>(QString::number(id)))
                ->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        };
        // A row radio checked that way sets the order as a click does.
        toggle(rowButton(1, 3));
        QVERIFY(m_dialog->order() == "3000" && m_dialog->swatchColor(1) == Qt::blue);
        // Checking "Color calibration" that way explains the mode once, a real click on it once more.
        toggle(1142);
        QVERIFY(sent({1142}).isEmpty() && m_messages.size() == 2);
    }

private:
    // Clicks the buttons in turn and returns the frames sent since the last call.
    QStringList sent(const QList<int> &clicks = {})
    {
        for (int id : clicks) {
            auto *button = m_dialog->findChild<QAbstractButton *>(QString::number(id));
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
        }
        return std::exchange(m_frames, {});
    }
    // colour 0 is "No", 1 to 4 red, green, blue, yellow.
    static int rowButton(int row, int colour) { return colour == 0 ? 1121 + row : 1102 + row * 4 + colour - 1; }

    std::unique_ptr<CDialogColorPlay> m_dialog;
    QStringList m_frames, m_messages;
};

QTEST_MAIN(TestDialogColorPlay)
#include "tst_dialogcolorplay.moc"
