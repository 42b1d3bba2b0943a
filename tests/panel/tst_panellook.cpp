#include "controls/CBitSlider.h"
#include "controls/CBitStrip.h"
#include "controls/CBitWnd.h"
#include "controls/CButtonEx.h"
#include "controls/SkinResources.h"
#include "panel/DialogUnits.h"
#include "panel/CDialogColorPlay.h"
#include "panel/CFormDlgView.h"
#include "panel/PanelGroupBox.h"
#include "panel/PanelLook.h"
#include "panel/PanelTemplate.h"
#include "sim/ArmPoseModel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QRawFont>
#include <QSignalSpy>
#include <QTextLayout>
#include <QtTest>

#include <memory>

namespace {

const QColor ground(3, 41, 62);
const QColor caption(0, 234, 255);
const QColor groupTitle(0, 160, 174);
const QColor white(255, 255, 255);
const QColor black(0, 0, 0);

int distance(const QColor &a, const QColor &b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

// The colour of `rect` that comes closest to `wanted`: a glyph's fully covered pixels carry the
// text colour itself, its edges blends with the ground.
QColor nearest(const QImage &image, const QRect &rect, const QColor &wanted)
{
    QColor best;
    int bestDistance = INT_MAX;
    const QRect area = rect.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (const int d = distance(c, wanted); d < bestDistance) {
                bestDistance = d;
                best = c;
            }
        }
    return best;
}

// The colour covering most of `rect`: the ground a control is painted on.
QColor mostCommon(const QImage &image, const QRect &rect)
{
    QHash<QRgb, int> counts;
    const QRect area = rect.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    QRgb best = 0;
    int bestCount = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > bestCount) {
            bestCount = it.value();
            best = it.key();
        }
    return QColor::fromRgb(best);
}

// Whether every glyph the text is set in was found in some installed face (no empty boxes).
bool allGlyphsFound(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int glyphs = 0;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        for (quint32 index : run.glyphIndexes()) {
            if (index == 0)
                return false;
            ++glyphs;
        }
    }
    return glyphs > 0;
}

} // namespace

class TestPanelLook : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void groundFillsTheWholePanel();
    void childColours_data();
    void childColours();
    void colouredButtons_data();
    void colouredButtons();
    void jointSliderSkin();
    void sliderTracksSplitAtTheThumb_data();
    void sliderTracksSplitAtTheThumb();
    void connectFont();
    void chineseTextShowsAsCharacters_data();
    void chineseTextShowsAsCharacters();
    void geometryFromTheTemplate_data();
    void geometryFromTheTemplate();
    void groupTitleOnItsFrame();

    void panelAccessibleNames();
    void toggleNamesFollowTheirCaptions();
    void sortingGameAccessibleNames();
    void sortingGameTextsFit();

    void sortingButtonsAskForTheGame_data();
    void sortingButtonsAskForTheGame();
    void lightColoursLeaveTheToggleAlone();
    void colourTrackingShowsTheChoiceUnderTheProgramName();

private:
    QImage formImage() const { return m_panel->form()->grab().toImage(); }
    QRect rectOf(int id) const { return m_panel->control(id)->geometry(); }
    QAbstractButton *button(int id) const { return qobject_cast<QAbstractButton *>(m_panel->control(id)); }
    CBitSlider *slider(int servo) const
    {
        return qobject_cast<CBitSlider *>(m_panel->control(PanelId::Slider1 + servo - 1));
    }

    std::unique_ptr<CFormDlgView> m_panel;
    QStringList m_messages;
    QStringList m_titles;
    QList<QMessageBox::Icon> m_icons;
};

void TestPanelLook::init()
{
    
    m_messages.clear();
    m_titles.clear();
    m_icons.clear();
    m_panel = std::make_unique<CFormDlgView>();
    m_panel->setMessageBox([this](const QString &text, const QString &title, QMessageBox::Icon icon) {
        m_messages << text;
        m_titles << title;
        m_icons << icon;
    });
    m_panel->resize(m_panel->form()->width() + 80, m_panel->form()->height() + 60);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
}

void TestPanelLook::cleanup()
{
    m_panel.reset();
}

void TestPanelLook::groundFillsTheWholePanel()
{
    // Inside the form between controls, and beside the form where the pane is larger than it.
    const QImage form = formImage();
    QCOMPARE(form.pixelColor(1, 1), ground);
    QCOMPARE(form.pixelColor(form.width() - 2, form.height() - 2), ground);
    const QImage pane = m_panel->grab().toImage();
    QCOMPARE(pane.pixelColor(pane.width() - 5, pane.height() / 2), ground);
    QCOMPARE(pane.pixelColor(pane.width() / 2, pane.height() - 5), ground);
}

void TestPanelLook::childColours_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("back");
    QTest::newRow("angle label") << 1044 << caption << ground;
    QTest::newRow("servo name") << 1092 << caption << ground;
    QTest::newRow("version caption") << int(PanelId::VersionCaption) << white << ground;
    QTest::newRow("interval caption") << int(PanelId::IntervalCaption) << white << ground;
    QTest::newRow("ms") << int(PanelId::IntervalUnit) << white << ground;
    QTest::newRow("ID caption") << int(PanelId::ServoIdCaption) << white << ground;
    QTest::newRow("check box") << int(PanelId::DragToRefresh) << caption << ground;
    QTest::newRow("servo id edit") << int(PanelId::ServoIdEdit) << black << white;
    QTest::newRow("interval edit") << int(PanelId::IntervalEdit) << black << white;
    QTest::newRow("id number edit") << int(PanelId::IdNumberEdit) << black << white;
    QTest::newRow("colour box") << int(PanelId::ColourBox) << caption << ground;
    QTest::newRow("action list") << int(PanelId::ActionList) << black << white;
}

void TestPanelLook::childColours()
{
    QFETCH(int, id);
    QFETCH(QColor, text);
    QFETCH(QColor, back);
    const QImage image = formImage();
    const QRect rect = rectOf(id);
    QCOMPARE(mostCommon(image, rect), back);
    // The list shows its headings; the others their own text ("Close", "1000", "0", ...).
    const QColor ink = nearest(image, rect, text);
    QVERIFY2(distance(ink, text) <= 24, qPrintable(ink.name() + " for " + text.name()));
}

void TestPanelLook::colouredButtons_data()
{
    QTest::addColumn<int>("id");
    for (int id : {PanelId::Connect, PanelId::Middle, PanelId::Stop, PanelId::Update, PanelId::Postion,
                   PanelId::LightRed, PanelId::LightGreen, PanelId::LightBlue, PanelId::LightToggle})
        QTest::newRow(qPrintable(QString::number(id))) << id;
}

void TestPanelLook::colouredButtons()
{
    QFETCH(int, id);
    QVERIFY(qobject_cast<CButtonEx *>(m_panel->control(id)));
    const QImage image = formImage();
    const QRect rect = rectOf(id);
    // The rounded face in the normal colour, white text, and the panel's ground in the corners.
    QCOMPARE(image.pixelColor(rect.left() + 1, rect.center().y()), CButtonEx::NormalFill);
    QCOMPARE(mostCommon(image, rect), CButtonEx::NormalFill);
    QCOMPARE(image.pixelColor(rect.topLeft()), ground);
    QCOMPARE(image.pixelColor(rect.bottomRight()), ground);
    QVERIFY(distance(nearest(image, rect, white), white) <= 24);
}

void TestPanelLook::jointSliderSkin()
{
    const DialogUnits units(m_panel->form()->font());
    for (int servo = 1; servo <= 6; ++servo) {
        CBitSlider *s = slider(servo);
        QVERIFY2(s, qPrintable(QString::number(servo)));
        // The filled track's image sizes it; the template places it.
        QCOMPARE(s->size(), QSize(200, 30));
        QCOMPARE(s->pos(), units.map(26, 22 + 17 * (servo - 1), 100, 12).topLeft());
        QCOMPARE(s->ThumbOffset(), 8);
        QCOMPARE(s->cursor().shape(), Qt::PointingHandCursor);
        CBitWnd *thumb = s->thumb();
        QVERIFY(thumb);
        QVERIFY(thumb->isVisible());
        QCOMPARE(thumb->size(), QSize(13, 13));
        QCOMPARE(thumb->y(), 8);
        QCOMPARE(thumb->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(thumb->strip());
        QCOMPARE(thumb->strip()->frames(), 3);
        QCOMPARE(thumb->frame(), 0);
        QCOMPARE(s->toolTip(), QString::number(s->value()));
    }
}

void TestPanelLook::sliderTracksSplitAtTheThumb_data()
{
    QTest::addColumn<int>("position");
    QTest::newRow("start") << 90;
    QTest::newRow("near the left end") << 10;
    QTest::newRow("right end") << 180;
}

void TestPanelLook::sliderTracksSplitAtTheThumb()
{
    QFETCH(int, position);
    CBitSlider *s = slider(2);
    s->setValue(position);
    const QImage filled = QImage(SkinResourcePath(PanelLook::FilledTrackImage)).convertToFormat(QImage::Format_RGB32);
    const QImage empty = QImage(SkinResourcePath(PanelLook::EmptyTrackImage)).convertToFormat(QImage::Format_RGB32);
    const QImage thumbStrip = QImage(SkinResourcePath(PanelLook::ThumbImage)).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!filled.isNull() && !empty.isNull() && !thumbStrip.isNull());
    QVERIFY(filled != empty);

    const QImage image = s->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect thumb = s->thumb()->geometry();
    QVERIFY(thumb.left() >= 0 && thumb.right() < s->width());
    int left = 0;
    int right = 0;
    for (int y : {2, 14, 27}) {
        for (int x = 0; x < image.width(); ++x) {
            if (thumb.contains(x, y)) {
                // Frame 0 of the thumb strip.
                QCOMPARE(image.pixel(x, y), thumbStrip.pixel(x - thumb.left(), y - thumb.top()));
            } else if (x < thumb.left()) {
                QCOMPARE(image.pixel(x, y), filled.pixel(x, y));
                ++left;
            } else {
                QCOMPARE(image.pixel(x, y), empty.pixel(x, y));
                ++right;
            }
        }
    }
    // The thumb stands where the value puts it.
    QVERIFY(position > 90 ? left > right : left < right);
}

void TestPanelLook::connectFont()
{
    const QFont font = m_panel->control(PanelId::Connect)->font();
    QCOMPARE(font.pixelSize(), 18);
    QCOMPARE(font.weight(), QFont::Normal);
    QVERIFY(!font.bold());
    QCOMPARE(font.families().value(0), QString::fromUtf8("黑体"));
    QVERIFY(font.families().contains(QStringLiteral("SimHei")));
    // Whatever face stands in, it has the Chinese characters.
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || !raw.supportsCharacter(QChar(0x9ED1)))
        QSKIP("no CJK face installed (scripts/deps.sh installs fonts-wqy-zenhei)");
    QCOMPARE(QFontInfo(font).pixelSize(), 18);
    // The font stays with every later start-up run.
    m_panel->OnInitialUpdate();
    QCOMPARE(m_panel->control(PanelId::Connect)->font().pixelSize(), 18);
}

void TestPanelLook::chineseTextShowsAsCharacters_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("servo name colon") << 1089 << QString::fromUtf8("1：");
    QTest::newRow("version colon") << int(PanelId::VersionCaption) << QString::fromUtf8("Version：");
    QTest::newRow("Chinese on Connect") << int(PanelId::Connect) << QString::fromUtf8("连接黑体");
    QTest::newRow("Chinese on a label") << int(PanelId::IntervalCaption) << QString::fromUtf8("动作组间隔时间");
}

void TestPanelLook::chineseTextShowsAsCharacters()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    if (!QFontDatabase::families(QFontDatabase::SimplifiedChinese).size())
        QSKIP("no CJK face installed (scripts/deps.sh installs fonts-wqy-zenhei)");
    QVERIFY(allGlyphsFound(text, m_panel->control(id)->font()));
}

void TestPanelLook::geometryFromTheTemplate_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QRect>("dialogUnits");
    for (const PanelControl &c : PanelTemplate::Controls())
        QTest::newRow(qPrintable(QString::number(c.id))) << c.id << c.rect;
}

void TestPanelLook::geometryFromTheTemplate()
{
    QFETCH(int, id);
    QFETCH(QRect, dialogUnits);
    const DialogUnits units(m_panel->form()->font());
    const QRect expected = units.map(dialogUnits.x(), dialogUnits.y(), dialogUnits.width(), dialogUnits.height());
    const QRect actual = rectOf(id);
    if (qobject_cast<CBitSlider *>(m_panel->control(id))) {
        QCOMPARE(actual.topLeft(), expected.topLeft());
        QCOMPARE(actual.size(), QSize(200, 30));
    } else if (auto *box = qobject_cast<QComboBox *>(m_panel->control(id))) {
        // The template's height includes the dropped-down list.
        QCOMPARE(actual.topLeft(), expected.topLeft());
        QCOMPARE(actual.width(), expected.width());
        QCOMPARE(actual.height(), box->sizeHint().height());
        QVERIFY(actual.height() < expected.height());
    } else {
        QCOMPARE(actual, expected);
    }
}

void TestPanelLook::groupTitleOnItsFrame()
{
    for (int id : {PanelId::ControlGroup, PanelId::ActionGroup, PanelId::CustomActionGroup, PanelId::SortingGroup,
                   PanelId::TrackingGroup}) {
        auto *box = qobject_cast<PanelGroupBox *>(m_panel->control(id));
        QVERIFY(box);
        const QColor wanted = PanelLook::ColoursFor(id).text == PanelLook::GroupTitleWord ? groupTitle : caption;
        const QImage image = box->grab().toImage();
        const QRect title = box->titleRect();
        QCOMPARE(mostCommon(image, title), ground);
        QVERIFY2(distance(nearest(image, title, wanted), wanted) <= 24, qPrintable(QString::number(id)));
        // The frame shows on the dark ground, below the title and down the sides.
        const int frameY = title.center().y();
        QCOMPARE(image.pixelColor(box->width() - 5, frameY), PanelGroupBox::FrameColour);
        QCOMPARE(image.pixelColor(0, box->height() / 2), PanelGroupBox::FrameColour);
        QCOMPARE(image.pixelColor(box->width() / 2, box->height() - 1), PanelGroupBox::FrameColour);
    }
    // On the form, no control standing at a box's edge cuts its frame.
    const QImage form = formImage();
    for (int id : {PanelId::ControlGroup, PanelId::ActionGroup, PanelId::CustomActionGroup, PanelId::SortingGroup,
                   PanelId::TrackingGroup}) {
        auto *box = qobject_cast<PanelGroupBox *>(m_panel->control(id));
        const QRect r = box->geometry();
        for (int y = r.top() + box->titleRect().height(); y <= r.bottom(); ++y) {
            QCOMPARE(form.pixelColor(r.left(), y), PanelGroupBox::FrameColour);
            QCOMPARE(form.pixelColor(r.right(), y), PanelGroupBox::FrameColour);
        }
    }
}

void TestPanelLook::panelAccessibleNames()
{
    QSet<QString> focusable;
    for (const PanelControl &c : PanelTemplate::Controls()) {
        QWidget *w = m_panel->control(c.id);
        const QString name = w->accessibleName();
        if (name.isEmpty()) { // a value label: read as its text, described by its meaning
            QVERIFY2(!w->accessibleDescription().isEmpty(), qPrintable(QString::number(c.id)));
            continue;
        }
        QVERIFY2(!name.contains(QLatin1Char('\n')), qPrintable(name));
        if (w->focusPolicy() != Qt::NoFocus) {
            QVERIFY2(!focusable.contains(name), qPrintable(name));
            focusable.insert(name);
        }
    }
    QCOMPARE(m_panel->control(PanelId::LightRed)->accessibleName(), QStringLiteral("Red light"));
    QCOMPARE(m_panel->control(PanelId::ColorTracking)->accessibleName(), QStringLiteral("Color tracking"));
    QCOMPARE(m_panel->control(1090)->accessibleName(), QStringLiteral("Servo 2"));
    QCOMPARE(slider(4)->thumb()->accessibleName(), QStringLiteral("Servo 4 thumb"));
}

void TestPanelLook::toggleNamesFollowTheirCaptions()
{
    button(PanelId::Stop)->click();
    QCOMPARE(m_panel->control(PanelId::Stop)->accessibleName(), QStringLiteral("Restore"));
    button(PanelId::LightToggle)->click();
    QCOMPARE(button(PanelId::LightToggle)->text(), QStringLiteral("ON"));
    QCOMPARE(m_panel->control(PanelId::LightToggle)->accessibleName(), QStringLiteral("Light on"));
    button(PanelId::FaceTracking)->click();
    QCOMPARE(m_panel->control(PanelId::FaceTracking)->accessibleName(), QStringLiteral("Face tracking OFF"));
    button(PanelId::FaceTracking)->click();
    QCOMPARE(m_panel->control(PanelId::FaceTracking)->accessibleName(), QStringLiteral("Face tracking ON"));
}

void TestPanelLook::sortingGameAccessibleNames()
{
    CDialogColorPlay dialog([](const std::string &) {});
    QCOMPARE(dialog.accessibleName(), QStringLiteral("Sorting game"));
    QSet<QString> focusable;
    for (QWidget *w : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QString name = w->accessibleName();
        QVERIFY2(!name.isEmpty(), w->metaObject()->className());
        if (w->focusPolicy() != Qt::NoFocus) {
            QVERIFY2(!focusable.contains(name), qPrintable(name));
            focusable.insert(name);
        }
    }
    QVERIFY(focusable.contains(QStringLiteral("Row 3 Blue")));
    QVERIFY(focusable.contains(QStringLiteral("Move area up")));
    const QList<QGroupBox *> groups = dialog.findChildren<QGroupBox *>();
    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups.at(0)->accessibleName(), groups.at(0)->title());
}

void TestPanelLook::sortingGameTextsFit()
{
    CDialogColorPlay dialog([](const std::string &) {});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (QWidget *w : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QFontMetrics metrics(w->font());
        QString text;
        int room = w->width();
        if (auto *b = qobject_cast<QPushButton *>(w)) {
            text = b->text();
            room -= 4; // the button's frame
        } else if (auto *r = qobject_cast<QRadioButton *>(w)) {
            text = r->text();
            room -= r->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, r)
                + r->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, r);
        } else if (auto *l = qobject_cast<QLabel *>(w)) {
            text = l->text();
        } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
            text = g->title();
        }
        if (text.isEmpty())
            continue;
        QVERIFY2(metrics.horizontalAdvance(text) <= room,
                 qPrintable(QStringLiteral("%1: %2 > %3").arg(text).arg(metrics.horizontalAdvance(text)).arg(room)));
    }
}

void TestPanelLook::sortingButtonsAskForTheGame_data()
{
    QTest::addColumn<int>("id");
    QTest::newRow("Color sorting") << int(PanelId::ColorSorting);
    QTest::newRow("Color stacking") << int(PanelId::ColorStacking);
    QTest::newRow("Garbage sorting") << int(PanelId::GarbageSorting);
}

void TestPanelLook::sortingButtonsAskForTheGame()
{
    QFETCH(int, id);
    QSignalSpy spy(m_panel.get(), &CFormDlgView::sortingGameRequested);
    button(id)->click();
    QCOMPARE(spy.count(), 1);
    // None of the other panel buttons opens it.
    button(PanelId::ColorTracking)->click();
    button(PanelId::StartTracking)->click();
    QCOMPARE(spy.count(), 1);
}

void TestPanelLook::lightColoursLeaveTheToggleAlone()
{
    QAbstractButton *toggle = button(PanelId::LightToggle);
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("ON"));
    for (int id : {PanelId::LightRed, PanelId::LightGreen, PanelId::LightBlue}) {
        button(id)->click();
        QCOMPARE(toggle->text(), QStringLiteral("ON"));
    }
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("OFF"));
}

void TestPanelLook::colourTrackingShowsTheChoiceUnderTheProgramName()
{
    auto *colours = qobject_cast<QComboBox *>(m_panel->control(PanelId::ColourBox));
    colours->setEditText(QStringLiteral("Green"));
    button(PanelId::ColorTracking)->click();
    QCOMPARE(m_messages, QStringList{QStringLiteral("Green")});
    QCOMPARE(m_titles, QStringList{QStringLiteral("Korvane")});
    QCOMPARE(m_icons, QList<QMessageBox::Icon>{QMessageBox::NoIcon});
}

QTEST_MAIN(TestPanelLook)
#include "tst_panellook.moc"
