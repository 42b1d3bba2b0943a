// The panel on its own, without a connection: controls, field exchange, keyboard, joint angles,
// replies and the action list. Frames on the wire are covered by tst_panellink.
#include "panel/DialogUnits.h"
#include "panel/ActionGroupFile.h"
#include "panel/CFormDlgView.h"
#include "panel/PanelLook.h"
#include "panel/PanelTemplate.h"
#include "sim/ArmPoseModel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSettings>
#include <QAccessible>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QtTest>

#include <memory>

class TestFormDlgView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyControlOfTheTemplate();
    void layoutInDialogUnits();
    void startUp();
    void actionListColumns();
    void fieldExchangeRoundTrip();
    void idNumberValidation_data();
    void idNumberValidation();
    void sliderMovesUpdateLabelsAndPose_data();
    void sliderMovesUpdateLabelsAndPose();
    void programmeMovesAreNotNotifications();
    void middleResetsEverything();
    void stopToggles();
    void spaceTogglesStopWherever_data();
    void spaceTogglesStopWherever();
    void tableKeysAreConsumed_data();
    void tableKeysAreConsumed();
    void saveKeyIsLeftToTheWindow();
    void setJointFromView_data();
    void setJointFromView();
    void serialReplies_data();
    void serialReplies();
    void brokenFrameMergesWithTheNext();
    void addDeleteClear();
    void deleteNeedsASelection();
    void playbackTimerIntervals();
    void loopRestartsAndLoopOffResumes();
    void emptyGroupRefusesPlayback();
    void playbackOddTimes();
    void disconnectedSendsNothingButStillMoves();
    void actionGroupMenu_data();
    void actionGroupMenu();
    void openReplacesTheGroupOrNothing();

private:
    QString label(int servo) const;
    QSlider *slider(int servo) const;
    QPushButton *button(int id) const;
    void userMove(int servo, int position);

    std::unique_ptr<CFormDlgView> m_panel;
    QStringList m_messages;
    QStringList m_titles;
};

void TestFormDlgView::initTestCase()
{
    // The last folder of action group files goes to the program's settings: keep them private.
    QStandardPaths::setTestModeEnabled(true);
}

void TestFormDlgView::init()
{
    
    m_messages.clear();
    m_titles.clear();
    m_panel = std::make_unique<CFormDlgView>();
    m_panel->setMessageBox([this](const QString &text, const QString &title, QMessageBox::Icon) {
        m_messages << text;
        m_titles << title;
    });
    m_panel->resize(500, 700);
}

void TestFormDlgView::cleanup()
{
    m_panel.reset();
}

QString TestFormDlgView::label(int servo) const
{
    return qobject_cast<QLabel *>(m_panel->control(PanelId::AngleLabel1 + servo - 1))->text();
}

QSlider *TestFormDlgView::slider(int servo) const
{
    return qobject_cast<QSlider *>(m_panel->control(PanelId::Slider1 + servo - 1));
}

QPushButton *TestFormDlgView::button(int id) const
{
    return qobject_cast<QPushButton *>(m_panel->control(id));
}

// What the slider does for a drag step: a new position reported while tracking.
void TestFormDlgView::userMove(int servo, int position)
{
    slider(servo)->setSliderPosition(position);
}

void TestFormDlgView::everyControlOfTheTemplate()
{
    QCOMPARE(PanelTemplate::Controls().size(), size_t(75));
    for (const PanelControl &c : PanelTemplate::Controls()) {
        QWidget *w = m_panel->control(c.id);
        QVERIFY2(w, qPrintable(QString::number(c.id)));
        QCOMPARE(w->objectName(), QString::number(c.id));
        // A label showing a value is read as its text, with a description of its meaning.
        QVERIFY2(!w->accessibleName().isEmpty() || !w->accessibleDescription().isEmpty(), qPrintable(QString::number(c.id)));
        QCOMPARE(m_panel->findChild<QWidget *>(QString::number(c.id)), w);
    }
    // Captions that change at run time start as the template has them.
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    QCOMPARE(button(PanelId::Stop)->text(), QStringLiteral("Stop"));
    QCOMPARE(button(PanelId::Loop)->text(), QStringLiteral("Loop"));
    QCOMPARE(button(PanelId::LightToggle)->text(), QStringLiteral("OFF"));
    QCOMPARE(button(PanelId::FaceTracking)->text(), QStringLiteral("Face tracking\nON"));
    QCOMPARE(qobject_cast<QLabel *>(m_panel->control(1089))->text(), QString::fromUtf8("1："));
    QCOMPARE(qobject_cast<QLabel *>(m_panel->control(1095))->text(), QString::fromUtf8("Version："));
    QCOMPARE(qobject_cast<QGroupBox *>(m_panel->control(1086))->title(), QStringLiteral("Control TAVRIK"));
    // The Action buttons are numbered out of caption order.
    const QList<QPair<int, QString>> actions{{1061, "Action1"}, {1066, "Action6"}, {1071, "Action7"},
                                             {1073, "Action9"}, {1067, "Action10"}, {1069, "Action12"},
                                             {1074, "Action13"}, {1075, "Action14"}, {1070, "Action15"}};
    for (const auto &[id, caption] : actions)
        QCOMPARE(button(id)->text(), caption);
    const auto *colours = qobject_cast<QComboBox *>(m_panel->control(PanelId::ColourBox));
    QStringList items;
    for (int i = 0; i < colours->count(); ++i)
        items << colours->itemText(i);
    QCOMPARE(items, (QStringList{"Blue", "Green", "OFF", "Red", "Yellow"}));
    QVERIFY(colours->isEditable());
    // Assistive technology reads the angle's value and its caption, not a fixed name.
    QAccessibleInterface *angle = QAccessible::queryAccessibleInterface(m_panel->control(PanelId::AngleLabel1 + 4));
    QCOMPARE(angle->text(QAccessible::Name), QStringLiteral("110"));
    QCOMPARE(angle->text(QAccessible::Description), QStringLiteral("Servo 5 angle"));
    const auto labelledBy = angle->relations(QAccessible::Label);
    QVERIFY(!labelledBy.isEmpty());
    QCOMPARE(labelledBy.first().first->object(), m_panel->control(PanelId::ServoName1 + 4));
}

void TestFormDlgView::layoutInDialogUnits()
{
    const DialogUnits units(m_panel->form()->font());
    QCOMPARE(m_panel->form()->size(), units.mapSize(238, 402));
    QCOMPARE(m_panel->control(PanelId::Stop)->geometry(), units.map(195, 51, 37, 42));
    // A skinned slider keeps its place; its track image gives its size.
    QCOMPARE(m_panel->control(PanelId::Slider1 + 2)->pos(), units.map(26, 56, 100, 12).topLeft());
    QCOMPARE(m_panel->control(PanelId::Slider1 + 2)->size(), QSize(200, 30));
    QCOMPARE(m_panel->control(1061)->geometry(), units.map(16, 277, 38, 14));
    QCOMPARE(m_panel->control(1070)->geometry(), units.map(180, 309, 38, 14));
    // The Stop button is about three times as tall as its neighbours.
    const int stop = m_panel->control(PanelId::Stop)->height();
    const int middle = m_panel->control(PanelId::Middle)->height();
    QVERIFY(stop > 2 * middle && stop < 4 * middle);
    // Group boxes lie beneath the controls they frame, so clicks reach the controls.
    QWidget *group = m_panel->control(PanelId::ControlGroup);
    QWidget *inside = m_panel->control(PanelId::Slider1);
    const QPoint centre = inside->geometry().center();
    QWidget *hit = m_panel->form()->childAt(centre);
    QVERIFY(hit == inside || inside->isAncestorOf(hit)); // the slider or its thumb
    QVERIFY(group->geometry().contains(centre));
}

void TestFormDlgView::startUp()
{
    const QStringList labels{label(1), label(2), label(3), label(4), label(5), label(6)};
    QCOMPARE(labels, (QStringList{"90", "90", "90", "90", "110", "180"}));
    const std::array<int, 6> angles{90, 90, 90, 90, 110, 180};
    QCOMPARE(m_panel->jointAngles(), angles);
    for (int k = 1; k <= 6; ++k) {
        QCOMPARE(slider(k)->minimum(), 0);
        QCOMPARE(slider(k)->maximum(), k == 5 ? 270 : 180);
        QCOMPARE(slider(k)->value(), angles[size_t(k - 1)]);
    }
    // The pose is not touched at start-up: servo 5 reads 110 while joint5 is still 0.
    QCOMPARE(m_panel->pose()->pose().joint5, 0.0f);
    QCOMPARE(qobject_cast<QLabel *>(m_panel->control(PanelId::VersionLabel))->text(), QString());
    QCOMPARE(qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit))->text(), QStringLiteral("1000"));
    QCOMPARE(qobject_cast<QLineEdit *>(m_panel->control(PanelId::ServoIdEdit))->text(), QStringLiteral("1"));
    QCOMPARE(qobject_cast<QLineEdit *>(m_panel->control(PanelId::IdNumberEdit))->text(), QStringLiteral("0"));
    QVERIFY(qobject_cast<QCheckBox *>(m_panel->control(PanelId::DragToRefresh))->isChecked());
    QCOMPARE(qobject_cast<QComboBox *>(m_panel->control(PanelId::ColourBox))->currentText(), QStringLiteral("Close"));
    QVERIFY(!qobject_cast<QLabel *>(m_panel->control(PanelId::ConnectionPicture))->pixmap().isNull());
    QVERIFY(!m_panel->isConnected());
    // A second start-up (a new document) keeps what the panel holds.
    userMove(2, 30);
    m_panel->OnInitialUpdate();
    QCOMPARE(label(2), QStringLiteral("30"));
    QCOMPARE(slider(2)->value(), 30);
}

void TestFormDlgView::actionListColumns()
{
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    QCOMPARE(list->columnCount(), 8);
    const QStringList headings{"INDEX", "ID1", "ID2", "ID3", "ID4", "ID5", "ID6", "TIME"};
    const QList<int> widths{55, 40, 40, 40, 40, 40, 40, 45};
    for (int c = 0; c < 8; ++c) {
        QCOMPARE(list->horizontalHeaderItem(c)->text(), headings[c]);
        QCOMPARE(list->columnWidth(c), widths[c]);
    }
    QVERIFY(list->showGrid());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestFormDlgView::fieldExchangeRoundTrip()
{
    auto *interval = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit));
    auto *colours = qobject_cast<QComboBox *>(m_panel->control(PanelId::ColourBox));
    auto *drag = qobject_cast<QCheckBox *>(m_panel->control(PanelId::DragToRefresh));
    interval->setText("750");
    colours->setEditText("Yellow");
    drag->setChecked(false);
    QVERIFY(m_panel->UpdateData(true));
    // Typing that was read survives a write back.
    QVERIFY(m_panel->UpdateData(false));
    QCOMPARE(interval->text(), QStringLiteral("750"));
    QCOMPARE(colours->currentText(), QStringLiteral("Yellow"));
    QVERIFY(!drag->isChecked());
    // Typing that was not read is replaced by the field on a write.
    interval->setText("20");
    m_panel->UpdateData(false);
    QCOMPARE(interval->text(), QStringLiteral("750"));
    // The servo ID edit takes digits only.
    auto *servoId = qobject_cast<QLineEdit *>(m_panel->control(PanelId::ServoIdEdit));
    servoId->clear();
    QTest::keyClicks(servoId, "1a2-");
    QCOMPARE(servoId->text(), QStringLiteral("12"));
    QVERIFY(m_messages.isEmpty());
}

void TestFormDlgView::idNumberValidation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("digits") << "42" << true;
    QTest::newRow("blanks around") << " 7 " << true;
    QTest::newRow("largest") << "4294967295" << true;
    QTest::newRow("too large") << "4294967296" << false;
    QTest::newRow("negative") << "-1" << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("trailing letter") << "12x" << false;
    QTest::newRow("empty") << "" << false;
}

void TestFormDlgView::idNumberValidation()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    auto *idEdit = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IdNumberEdit));
    auto *interval = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit));
    auto *drag = qobject_cast<QCheckBox *>(m_panel->control(PanelId::DragToRefresh));
    auto *colours = qobject_cast<QComboBox *>(m_panel->control(PanelId::ColourBox));
    idEdit->setText(text);
    interval->setText("333");
    {
        const QSignalBlocker quiet(drag); // a tick change reads the fields itself
        drag->setChecked(false);
    }
    colours->setEditText("Red");
    QCOMPARE(m_panel->UpdateData(true), valid);
    // Fields before the ID number are read either way; those after it only when it is valid.
    m_panel->UpdateData(false);
    QCOMPARE(interval->text(), QStringLiteral("333"));
    QCOMPARE(drag->isChecked(), !valid);
    QCOMPARE(colours->currentText(), valid ? QStringLiteral("Red") : QStringLiteral("Close"));
    if (valid) {
        QVERIFY(m_messages.isEmpty());
    } else {
        QCOMPARE(m_messages, QStringList{CFormDlgView::UnsignedIntegerPrompt});
        QCOMPARE(m_titles, QStringList{"Korvane"});
    }
}

void TestFormDlgView::sliderMovesUpdateLabelsAndPose_data()
{
    QTest::addColumn<int>("servo");
    QTest::addColumn<int>("position");
    QTest::addColumn<QList<float>>("pose");
    QTest::newRow("servo 3 to 95") << 3 << 95 << QList<float>{0, 0, 5, 0, 0, 0, 0};
    QTest::newRow("servo 5 to 270") << 5 << 270 << QList<float>{0, 0, 0, 0, 180, 0, 0};
    QTest::newRow("servo 6 to 91") << 6 << 91 << QList<float>{0, 0, 0, 0, 0, -45, 45};
    QTest::newRow("servo 1 to 0") << 1 << 0 << QList<float>{-90, 0, 0, 0, 0, 0, 0};
}

void TestFormDlgView::sliderMovesUpdateLabelsAndPose()
{
    QFETCH(int, servo);
    QFETCH(int, position);
    QFETCH(QList<float>, pose);
    userMove(servo, position);
    QCOMPARE(label(servo), QString::number(position));
    QCOMPARE(m_panel->jointAngles()[size_t(servo - 1)], position);
    const ArmPose &p = m_panel->pose()->pose();
    QCOMPARE((QList<float>{p.joint1, p.joint2, p.joint3, p.joint4, p.joint5, p.fingerLeft, p.fingerRight}), pose);
}

void TestFormDlgView::programmeMovesAreNotNotifications()
{
    // The 3D view moving a slider changes its label through the panel, not through a notification.
    m_panel->SetJointFromView(0, 2, 10);
    QCOMPARE(slider(2)->value(), 100);
    QCOMPARE(m_panel->pose()->pose().joint2, 0.0f);
}

void TestFormDlgView::middleResetsEverything()
{
    userMove(1, 10);
    userMove(6, 40);
    button(PanelId::Middle)->click();
    const QStringList labels{label(1), label(2), label(3), label(4), label(5), label(6)};
    QCOMPARE(labels, (QStringList{"90", "90", "90", "90", "90", "180"}));
    QCOMPARE(slider(1)->value(), 90);
    QCOMPARE(slider(5)->value(), 90);
    QCOMPARE(slider(6)->value(), 180);
    const ArmPose &p = m_panel->pose()->pose();
    QCOMPARE((QList<float>{p.joint1, p.joint5, p.fingerLeft, p.fingerRight}), (QList<float>{0, 0, 0, 0}));
}

void TestFormDlgView::stopToggles()
{
    QPushButton *stop = button(PanelId::Stop);
    stop->click();
    QCOMPARE(stop->text(), QStringLiteral("Restore"));
    stop->click();
    QCOMPARE(stop->text(), QStringLiteral("Stop"));
}

void TestFormDlgView::spaceTogglesStopWherever_data()
{
    QTest::addColumn<int>("focus");
    QTest::newRow("interval edit") << int(PanelId::IntervalEdit);
    QTest::newRow("servo id edit") << int(PanelId::ServoIdEdit);
    QTest::newRow("colour box") << int(PanelId::ColourBox);
    QTest::newRow("slider") << int(PanelId::Slider1);
    QTest::newRow("action list") << int(PanelId::ActionList);
    QTest::newRow("a plain button") << int(PanelId::Add);
}

void TestFormDlgView::spaceTogglesStopWherever()
{
    QFETCH(int, focus);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    QWidget *target = m_panel->control(focus);
    target->setFocus();
    QWidget *focused = QApplication::focusWidget();
    QVERIFY(focused == target || focused->parentWidget() == target);
    auto *interval = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit));
    const QString before = interval->text();

    QTest::keyClick(focused, Qt::Key_Space);
    QCOMPARE(button(PanelId::Stop)->text(), QStringLiteral("Restore"));
    QTest::keyClick(focused, Qt::Key_Space);
    QCOMPARE(button(PanelId::Stop)->text(), QStringLiteral("Stop"));
    // Space typed nothing and pressed no other button.
    QCOMPARE(interval->text(), before);
    QCOMPARE(m_panel->actionCount(), 0);
    QVERIFY(m_messages.isEmpty());
}

void TestFormDlgView::tableKeysAreConsumed_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("left") << int(Qt::Key_Left) << int(Qt::NoModifier);
    QTest::newRow("right") << int(Qt::Key_Right) << int(Qt::NoModifier);
    QTest::newRow("shift+c") << int(Qt::Key_C) << int(Qt::ShiftModifier);
    QTest::newRow("shift+t") << int(Qt::Key_T) << int(Qt::ShiftModifier);
    QTest::newRow("ctrl+v") << int(Qt::Key_V) << int(Qt::ControlModifier);
    QTest::newRow("ctrl+x") << int(Qt::Key_X) << int(Qt::ControlModifier);
    QTest::newRow("shift+delete") << int(Qt::Key_Delete) << int(Qt::ShiftModifier);
    QTest::newRow("ctrl+z") << int(Qt::Key_Z) << int(Qt::ControlModifier);
}

void TestFormDlgView::tableKeysAreConsumed()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    auto *interval = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit));
    interval->setFocus();
    interval->setText("1234");
    interval->setCursorPosition(2);
    QApplication::clipboard()->setText("99");
    QTest::keyClick(interval, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(interval->text(), QStringLiteral("1234"));
    QCOMPARE(interval->cursorPosition(), 2);
    // Keys outside the table still edit.
    QTest::keyClick(interval, Qt::Key_5);
    QCOMPARE(interval->text(), QStringLiteral("12534"));
    QTest::keyClick(interval, Qt::Key_Home);
    QCOMPARE(interval->cursorPosition(), 0);
    // Arrows do not move a slider either.
    slider(2)->setFocus();
    QTest::keyClick(slider(2), Qt::Key_Right);
    QCOMPARE(slider(2)->value(), 90);
    QCOMPARE(label(2), QStringLiteral("90"));
}

void TestFormDlgView::saveKeyIsLeftToTheWindow()
{
    QWidget window;
    m_panel->setParent(&window);
    int saves = 0;
    int news = 0;
    auto *save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &window);
    auto *fresh = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), &window);
    connect(save, &QShortcut::activated, this, [&saves] { ++saves; });
    connect(fresh, &QShortcut::activated, this, [&news] { ++news; });
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWidget *edit = m_panel->control(PanelId::IntervalEdit);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(saves, 1);
    // Every other key of the table is the panel's, and does nothing there.
    QTest::keyClick(edit, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(news, 0);
    m_panel->setParent(nullptr);
}

void TestFormDlgView::setJointFromView_data()
{
    QTest::addColumn<int>("servo");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("sliderValue");
    QTest::newRow("servo 1 up") << 1 << 15 << 105;
    QTest::newRow("servo 5 wide") << 5 << 150 << 240;
    QTest::newRow("servo 6 below") << 6 << -90 << 0;
    QTest::newRow("servo 7 changes nothing") << 7 << 10 << -1;
    QTest::newRow("servo 0 changes nothing") << 0 << 10 << -1;
}

void TestFormDlgView::setJointFromView()
{
    QFETCH(int, servo);
    QFETCH(int, value);
    QFETCH(int, sliderValue);
    const auto before = m_panel->jointAngles();
    // A label the panel does not own any more is refreshed from the fields in every case.
    qobject_cast<QLabel *>(m_panel->control(PanelId::AngleLabel1))->setText("stale");
    m_panel->SetJointFromView(1, servo, value);
    QCOMPARE(label(1), QString::number(m_panel->jointAngles()[0]));
    if (sliderValue < 0) {
        QCOMPARE(m_panel->jointAngles(), before);
        return;
    }
    QCOMPARE(slider(servo)->value(), sliderValue);
    QCOMPARE(m_panel->jointAngles()[size_t(servo - 1)], value + 90);
    QCOMPARE(label(servo), QString::number(value + 90));
    // The view keeps the pose itself.
    const ArmPose &p = m_panel->pose()->pose();
    QCOMPARE((QList<float>{p.joint1, p.joint5, p.fingerLeft}), (QList<float>{0, 0, 0}));
}

void TestFormDlgView::serialReplies_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QList<int>>("angles");
    QTest::addColumn<QList<float>>("pose");
    const QList<int> start{90, 90, 90, 90, 110, 180};
    const QList<float> zero{0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("version") << QByteArray("$010235#") << "V3.5" << start << zero;
    QTest::newRow("version with letters") << QByteArray("$0102ab#") << "V0.0" << start << zero;
    QTest::newRow("garbage and a stray end first") << QByteArray("xx#$010212cc#") << "V1.2" << start << zero;
    QTest::newRow("angles") << QByteArray("$032006090045120090110170xx#") << "" << QList<int>{90, 45, 120, 90, 110, 170}
                            << QList<float>{0, -45, 30, 0, 20, 80, -80};
    QTest::newRow("999 stored as is") << QByteArray("$032006999090090090090090xx#") << ""
                                      << QList<int>{999, 90, 90, 90, 90, 90} << QList<float>{909, 0, 0, 0, 0, 0, 0};
    QTest::newRow("short angle frame") << QByteArray("$0320060901#") << "" << QList<int>{90, 1, 0, 0, 0, 0}
                                       << QList<float>{0, -89, -90, -90, -90, -90, 90};
    QTest::newRow("other code ignored") << QByteArray("$0A02ff#") << "" << start << zero;
    QTest::newRow("unfinished frame waits") << QByteArray("$032006000000000000000000") << "" << start << zero;
}

void TestFormDlgView::serialReplies()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, version);
    QFETCH(QList<int>, angles);
    QFETCH(QList<float>, pose);
    for (char c : bytes)
        QCOMPARE(m_panel->link()->OnSerialByte(static_cast<unsigned char>(c), 3), 1L);
    QCOMPARE(qobject_cast<QLabel *>(m_panel->control(PanelId::VersionLabel))->text(), version);
    const auto &held = m_panel->jointAngles();
    QCOMPARE(QList<int>(held.begin(), held.end()), angles);
    for (int k = 1; k <= 6; ++k) {
        QCOMPARE(label(k), QString::number(angles[k - 1]));
        QCOMPARE(slider(k)->value(), std::clamp(angles[k - 1], 0, k == 5 ? 270 : 180));
    }
    const ArmPose &p = m_panel->pose()->pose();
    QCOMPARE((QList<float>{p.joint1, p.joint2, p.joint3, p.joint4, p.joint5, p.fingerLeft, p.fingerRight}), pose);
}

void TestFormDlgView::brokenFrameMergesWithTheNext()
{
    // A version frame whose "#" was lost swallows the next frame; the code read is the first one's.
    for (char c : QByteArray("$010235$032006000000000000000000xx#"))
        m_panel->link()->OnSerialByte(static_cast<unsigned char>(c), 1);
    QCOMPARE(m_panel->versionText(), QStringLiteral("V3.5"));
    QCOMPARE(m_panel->lastFrame(), std::string("$010235$032006000000000000000000xx#"));
    QCOMPARE(m_panel->jointAngles()[0], 90);
}

void TestFormDlgView::addDeleteClear()
{
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    for (int i = 0; i < 3; ++i)
        button(PanelId::Add)->click();
    QCOMPARE(m_panel->actionCount(), 3);
    QCOMPARE(list->rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        QStringList cells;
        for (int c = 0; c < 8; ++c)
            cells << list->item(row, c)->text();
        QCOMPARE(cells, (QStringList{QString::number(row), "90", "90", "90", "90", "110", "180", "1000"}));
    }
    // A row takes the labels and the interval exactly as typed.
    userMove(2, 33);
    qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit))->setText("fast");
    button(PanelId::Add)->click();
    QCOMPARE(list->item(3, 0)->text(), QStringLiteral("3"));
    QCOMPARE(list->item(3, 2)->text(), QStringLiteral("33"));
    QCOMPARE(list->item(3, 7)->text(), QStringLiteral("fast"));

    // Rows 0 and 2 go; old row 1 becomes row 0, old row 3 row 1.
    list->item(1, 7)->setText("old1");
    list->selectRow(0);
    list->selectionModel()->select(list->model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    button(PanelId::Delete)->click();
    QCOMPARE(m_panel->actionCount(), 2);
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(list->item(0, 0)->text(), QStringLiteral("0"));
    QCOMPARE(list->item(0, 7)->text(), QStringLiteral("old1"));
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("1"));
    QCOMPARE(list->item(1, 7)->text(), QStringLiteral("fast"));
    QVERIFY(m_messages.isEmpty());

    button(PanelId::Add)->click();
    QCOMPARE(list->item(2, 0)->text(), QStringLiteral("2"));
    button(PanelId::Clear)->click();
    QCOMPARE(m_panel->actionCount(), 0);
    QCOMPARE(list->rowCount(), 0);
}

void TestFormDlgView::deleteNeedsASelection()
{
    button(PanelId::Add)->click();
    button(PanelId::Delete)->click();
    QCOMPARE(m_messages, QStringList{CFormDlgView::NothingSelectedText});
    QCOMPARE(m_titles, QStringList{"Info"});
    QCOMPARE(m_panel->actionCount(), 1);
}

void TestFormDlgView::playbackTimerIntervals()
{
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    button(PanelId::Add)->click();
    button(PanelId::Add)->click();
    list->item(0, 7)->setText("500");
    list->item(1, 7)->setText("2000");
    list->item(1, 3)->setText("45");
    list->item(1, 6)->setText("180");
    const QTimer &timer = m_panel->playbackTimer();

    button(PanelId::Single)->click();
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 1000); // the first row plays a second after the press
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QCOMPARE(timer.interval(), 500);
    QCOMPARE(m_panel->playPosition(), 1u);
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QCOMPARE(timer.interval(), 2000);
    QCOMPARE(m_panel->playPosition(), 2u);
    QCOMPARE(slider(3)->value(), 45);
    QCOMPARE(label(3), QStringLiteral("45"));
    QCOMPARE(m_panel->pose()->pose().joint3, -45.0f);
    QCOMPARE(m_panel->pose()->pose().fingerLeft, 90.0f);
    QCOMPARE(m_panel->pose()->pose().fingerRight, -90.0f);
    // Played through: the timer stops and the position returns to the top, nothing is played.
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QVERIFY(!timer.isActive());
    QCOMPARE(m_panel->playPosition(), 0u);
    QCOMPARE(label(3), QStringLiteral("45"));
    // Other timers are not the playback's.
    m_panel->OnTimer(1);
    QCOMPARE(m_panel->playPosition(), 0u);
}

void TestFormDlgView::loopRestartsAndLoopOffResumes()
{
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    for (int i = 0; i < 3; ++i)
        button(PanelId::Add)->click();
    list->item(0, 7)->setText("500");
    list->item(1, 7)->setText("2000");
    list->item(2, 7)->setText("300");
    const QTimer &timer = m_panel->playbackTimer();
    QPushButton *loop = button(PanelId::Loop);

    loop->click();
    QVERIFY(m_panel->isLooping());
    QCOMPARE(loop->text(), QStringLiteral("Loop off"));
    QCOMPARE(timer.interval(), 1000);
    for (int i = 0; i < 3; ++i)
        m_panel->OnTimer(PanelId::PlaybackTimer);
    QCOMPARE(timer.interval(), 300);
    m_panel->OnTimer(PanelId::PlaybackTimer); // played through: again in a second
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 1000);
    QCOMPARE(m_panel->playPosition(), 0u);
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QCOMPARE(timer.interval(), 500);
    // Single while looping only restarts the timer.
    button(PanelId::Single)->click();
    QVERIFY(m_panel->isLooping());
    QCOMPARE(timer.interval(), 1000);

    userMove(1, 20);
    loop->click(); // Loop off: stopped, middle pose, position kept
    QVERIFY(!m_panel->isLooping());
    QVERIFY(!timer.isActive());
    QCOMPARE(loop->text(), QStringLiteral("Loop"));
    QCOMPARE(label(1), QStringLiteral("90"));
    QCOMPARE(label(6), QStringLiteral("180"));
    QCOMPARE(m_panel->playPosition(), 1u);
    button(PanelId::Single)->click();
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QCOMPARE(timer.interval(), 2000); // row 1 next, not row 0
    QVERIFY(!m_panel->isLooping());

    // Clear during a loop: the timer keeps firing once a second and plays nothing.
    loop->click();
    button(PanelId::Clear)->click();
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 1000);
    QCOMPARE(m_panel->playPosition(), 0u);
}

void TestFormDlgView::emptyGroupRefusesPlayback()
{
    button(PanelId::Single)->click();
    button(PanelId::Loop)->click();
    QCOMPARE(m_messages, QStringList(2, CFormDlgView::EmptyActionGroupText));
    QCOMPARE(m_titles, QStringList(2, "Korvane"));
    QVERIFY(!m_panel->playbackTimer().isActive());
    QVERIFY(!m_panel->isLooping());
    QCOMPARE(button(PanelId::Loop)->text(), QStringLiteral("Loop"));
}

void TestFormDlgView::playbackOddTimes()
{
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    button(PanelId::Add)->click();
    button(PanelId::Add)->click();
    list->item(0, 7)->setText("soon");
    list->item(1, 7)->setText("-40");
    list->item(0, 1)->setText("12abc");
    button(PanelId::Single)->click();
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QCOMPARE(m_panel->playbackTimer().interval(), 0); // not a number: time 0
    QCOMPARE(label(1), QStringLiteral("12"));
    m_panel->OnTimer(PanelId::PlaybackTimer);
    QVERIFY(m_panel->playbackTimer().isActive()); // a negative time waits for nothing
    QCOMPARE(m_panel->playbackTimer().interval(), 0);
}

void TestFormDlgView::disconnectedSendsNothingButStillMoves()
{
    // With no connection every command is dropped quietly; only the panel and the pose change.
    button(PanelId::Postion)->click();
    button(PanelId::Update)->click();
    button(PanelId::LightToggle)->click();
    QCOMPARE(button(PanelId::LightToggle)->text(), QStringLiteral("ON"));
    userMove(4, 120);
    QCOMPARE(m_panel->pose()->pose().joint4, 30.0f);
    QVERIFY(!m_panel->positionReadTimer().isActive());
    QVERIFY(m_messages.isEmpty());
}

void TestFormDlgView::actionGroupMenu_data()
{
    QTest::addColumn<int>("key"); // 0: the mouse's right button
    QTest::addColumn<int>("modifiers");
    QTest::newRow("right click") << 0 << int(Qt::NoModifier);
    QTest::newRow("menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier);
    QTest::newRow("shift+f10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
}

void TestFormDlgView::actionGroupMenu()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    auto *menu = list->findChild<QMenu *>(QStringLiteral("actionGroupMenu"));
    auto request = [&](QWidget *target) {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(9, 9), list->viewport()->mapToGlobal(QPoint(9, 9)));
        if (key == 0)
            QApplication::sendEvent(list->viewport(), &click);
        target->setFocus();
        if (key != 0)
            QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const bool shown = menu->isVisible();
        menu->close();
        return shown;
    };
    // The panel's keys pass the list by: these two reach it.
    QVERIFY(request(list));
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Save action group..."));
    QCOMPARE(menu->actions()[1]->text(), QStringLiteral("Open action group..."));
    QVERIFY(!menu->actions()[0]->isEnabled()); // nothing recorded yet
    QCOMPARE(menu->palette().color(QPalette::Window), PanelLook::ColourFromWord(PanelLook::GroundWord));
    QCOMPARE(menu->palette().color(QPalette::WindowText), PanelLook::ColourFromWord(PanelLook::CaptionWord));
    button(PanelId::Add)->click();
    QVERIFY(request(list));
    QVERIFY(menu->actions()[0]->isEnabled());
    // Elsewhere in the panel the keys open nothing.
    if (key != 0) {
        QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
        QVERIFY(!request(m_panel->control(PanelId::IntervalEdit)));
    }
}

void TestFormDlgView::openReplacesTheGroupOrNothing()
{
    QTemporaryDir dir;
    QSettings().remove(CFormDlgView::ActionGroupFolderKey);
    QString answer;
    QStringList folders;
    m_panel->setFileNameDialog([&answer, &folders](QWidget *, bool, const QString &folder) {
        folders << folder;
        return answer;
    });
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    const QList<QAction *> menu = list->findChild<QMenu *>(QStringLiteral("actionGroupMenu"))->actions();
    button(PanelId::Add)->click();
    button(PanelId::Add)->click();
    button(PanelId::Loop)->click();
    m_panel->OnTimer(PanelId::PlaybackTimer);

    // A file refused on its third line changes nothing, not even the running loop.
    answer = dir.filePath("bad.kvg");
    QFile bad(answer);
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("korvane-action-group 1\n1\t2\t3\t4\t5\t6\t7\n1\t2\n"));
    bad.close();
    menu[1]->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages[0].endsWith("Line 3: expected 7 fields separated by tabs (six angles and the interval), found 2."));
    QCOMPARE(list->rowCount(), 2);
    QVERIFY(m_panel->isLooping() && m_panel->playbackTimer().isActive() && m_panel->playPosition() == 1);

    // A good file replaces the group and ends the loop, leaving the arm where it is.
    answer = dir.filePath("good.kvg");
    QCOMPARE(ActionGroupFile::Write(answer, QList<ActionGroupFile::Row>(3, {{"1", "2", "3", "4", "5", "6"}, "7"})), QString());
    menu[1]->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!m_panel->isLooping() && !m_panel->playbackTimer().isActive() && m_panel->playPosition() == 0);
    QCOMPARE(button(PanelId::Loop)->text(), QStringLiteral("Loop"));
    QCOMPARE(m_panel->actionCount(), 3);
    QCOMPARE(list->item(2, 0)->text(), QStringLiteral("2"));
    QCOMPARE(label(5), QStringLiteral("110")); // as row 0 left it: no middle pose

    // A save that fails says why; a cancelled dialog does nothing.
    answer = dir.filePath("gone/group.kvg");
    menu[0]->trigger();
    QCOMPARE(m_messages.size(), 2);
    QVERIFY(m_messages[1].endsWith("No such file or directory."));
    answer.clear();
    menu[1]->trigger();
    QCOMPARE(m_messages.size(), 2);
    QCOMPARE(m_panel->actionCount(), 3);
    // Each dialog starts in the folder of the file chosen last.
    QCOMPARE(folders, (QStringList{QDir::homePath(), dir.path(), dir.path(), dir.filePath("gone")}));
}

QTEST_MAIN(TestFormDlgView)
#include "tst_formdlgview.moc"
