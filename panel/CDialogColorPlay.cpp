#include "panel/CDialogColorPlay.h"

#include "controls/CButtonEx.h"
#include "controls/TrackBar.h"
#include "link/CommandFrames.h"
#include "panel/DialogFont.h"
#include "panel/DialogUnits.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <memory>
#include <utility>

namespace {

CDialogColorPlay::MessageHook &messageHook()
{
    static CDialogColorPlay::MessageHook hook;
    return hook;
}

const QColor colourOfCode[5] = {
    QColor(255, 255, 255), QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 0),
};
const char *const colourCaption[5] = {"No", "Red", "Green", "Blue", "Yellow"};

template <typename W>
W *place(W *widget, const DialogUnits &du, int id, int x, int y, int w, int h)
{
    widget->setGeometry(du.map(x, y, w, h));
    if (id != 0)
        widget->setObjectName(QString::number(id));
    // The caption names the control (a group box's is its title); controls whose caption is
    // ambiguous are named again where they are made.
    QString name = widget->property("text").toString();
    if (name.isEmpty())
        name = widget->property("title").toString();
    widget->setAccessibleName(name.simplified());
    return widget;
}

} // namespace

CDialogColorPlay::CDialogColorPlay(Sender sender, QWidget *parent)
    : QDialog(parent)
    , m_send(std::move(sender))
{
    setWindowTitle(QStringLiteral("Sorting game"));
    setAccessibleName(windowTitle());
    setObjectName(QString::number(IDD));
    const QFont dialogFont = DialogFont(QStringLiteral("MS Shell Dlg"), 9);
    setFont(dialogFont);
    const DialogUnits du(dialogFont);
    setFixedSize(du.mapSize(331, 385));

    place(new QGroupBox(QStringLiteral("Recognition area and color calibration settings"), this), du, 0, 30, 7, 256, 108);
    m_areaMode = place(new QRadioButton(QStringLiteral("Calibration area setting"), this), du, IDC_AREA_MODE, 58, 24, 87, 10);
    m_colorMode = place(new QRadioButton(QStringLiteral("Color calibration"), this), du, IDC_COLOR_MODE, 156, 24, 65, 10);
    auto *modeGroup = new QButtonGroup(this);
    modeGroup->addButton(m_areaMode, 0);
    modeGroup->addButton(m_colorMode, 1);
    // Checking it (by a click, a key or assistive technology) explains the mode, and so does every
    // further click on it while it is checked.
    auto wasChecked = std::make_shared<bool>(false);
    connect(m_colorMode, &QRadioButton::pressed, this, [this, wasChecked] { *wasChecked = m_colorMode->isChecked(); });
    connect(m_colorMode, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            OnColorCalibrationClicked();
    });
    connect(m_colorMode, &QRadioButton::clicked, this, [this, wasChecked] {
        if (std::exchange(*wasChecked, false))
            OnColorCalibrationClicked();
    });

    auto button = [&](const char *text, int id, int x, int y, int w, int h) {
        return place(new QPushButton(QString::fromUtf8(text), this), du, id, x, y, w, h);
    };
    QPushButton *start = button("Start", IDC_START, 45, 45, 56, 20);
    QPushButton *confirm = button("OK", IDC_OK_CAL, 122, 45, 56, 20);
    QPushButton *cancel = button("Cancel", IDC_CANCEL_CAL, 204, 45, 56, 20);
    start->setAccessibleName(QStringLiteral("Start calibration"));
    confirm->setAccessibleName(QStringLiteral("Confirm calibration"));
    cancel->setAccessibleName(QStringLiteral("Cancel calibration"));
    connect(start, &QPushButton::clicked, this, &CDialogColorPlay::OnStart);
    connect(confirm, &QPushButton::clicked, this, &CDialogColorPlay::OnConfirm);
    connect(cancel, &QPushButton::clicked, this, &CDialogColorPlay::OnCancelCalibration);

    using CommandFrames::AreaMove;
    const struct { const char *text; int id; int x, y, w, h; AreaMove move; } arrows[] = {
        {"Up", IDC_UP, 58, 69, 23, 15, AreaMove::Up},
        {"Down", IDC_DOWN, 59, 98, 22, 15, AreaMove::Down},
        {"Left", IDC_LEFT, 38, 83, 18, 15, AreaMove::Left},
        {"Right", IDC_RIGHT, 87, 84, 18, 15, AreaMove::Right},
    };
    for (const auto &a : arrows) {
        const AreaMove move = a.move;
        QPushButton *arrow = button(a.text, a.id, a.x, a.y, a.w, a.h);
        arrow->setAccessibleName(QStringLiteral("Move area ") + arrow->text().toLower());
        connect(arrow, &QPushButton::clicked, this, [this, move] { send(CommandFrames::MoveArea(move)); });
    }

    place(new QLabel(QStringLiteral("Calibration threshold："), this), du, 0, 123, 92, 71, 8);
    m_threshold = place(new TrackBar(Qt::Horizontal, this), du, IDC_THRESHOLD, 193, 89, 90, 15);
    m_threshold->setAccessibleName(QStringLiteral("Calibration threshold"));
    m_threshold->setTickPosition(QSlider::NoTicks);
    // Every scroll notification sends the position: each step or drag position as it happens, and
    // once more when the key or the mouse button is released.
    connect(m_threshold, &TrackBar::notification, this, &CDialogColorPlay::sendThreshold);

    place(new QGroupBox(QStringLiteral("Color selection order"), this), du, 0, 31, 119, 256, 151);
    const int swatchY[4] = {129, 161, 193, 225};
    const int radioY[4] = {139, 173, 203, 236};
    const int radioX[5] = {95, 133, 171, 209, 247};
    const int radioW[5] = {25, 28, 35, 29, 37};
    for (int row = 0; row < 4; ++row) {
        m_swatch[row] = place(new CButtonEx(this), du, IDC_SWATCH1 + row, 48, swatchY[row], 33, 31);
        m_swatch[row]->setAccessibleName(QStringLiteral("Colour of row %1").arg(row + 1));
        auto *group = new QButtonGroup(this);
        for (int colour = 0; colour < 5; ++colour) {
            const int id = colour == 0 ? IDC_ROW1_NO + row : IDC_ROW1_RED + row * 4 + (colour - 1);
            auto *radio = place(new QRadioButton(QString::fromLatin1(colourCaption[colour]), this), du, id,
                                radioX[colour], radioY[row], radioW[colour], 10);
            // Every row offers the same captions: the name says which row.
            radio->setAccessibleName(QStringLiteral("Row %1 %2").arg(row + 1).arg(radio->text()));
            group->addButton(radio, colour);
            m_rowRadios[row][colour] = radio;
            // Checked by a click, a key or assistive technology alike.
            connect(radio, &QRadioButton::toggled, this, [this, row, colour](bool checked) {
                if (checked)
                    OnRowChoice(row + 1, colour);
            });
        }
    }

    const struct { const char *text; int id; int x, y, w, h; } games[] = {
        {"Send color sorting order", IDC_SEND_SORT_ORDER, 58, 282, 85, 25},
        {"Color sorting", IDC_COLOR_SORTING, 151, 283, 73, 25},
        {"Send color stacking order", IDC_SEND_STACK_ORDER, 58, 311, 85, 25},
        {"Color stacking", IDC_COLOR_STACKING, 151, 312, 73, 25},
        {"Garbage recognition", IDC_GARBAGE_RECOGNITION, 58, 339, 85, 25},
        {"Garbage sorting", IDC_GARBAGE_SORTING, 151, 339, 73, 25},
    };
    for (const auto &g : games) {
        const int id = g.id;
        connect(button(g.text, g.id, g.x, g.y, g.w, g.h), &QPushButton::clicked, this, [this, id] {
            const std::string order = m_order.toStdString();
            switch (id) {
            case IDC_SEND_SORT_ORDER: send(CommandFrames::ColourSorting(false, order)); break;
            case IDC_COLOR_SORTING: send(CommandFrames::ColourSorting(true, order)); break;
            case IDC_SEND_STACK_ORDER: send(CommandFrames::ColourStacking(false, order)); break;
            case IDC_COLOR_STACKING: send(CommandFrames::ColourStacking(true, order)); break;
            case IDC_GARBAGE_RECOGNITION: send(CommandFrames::GarbageRecognition()); break;
            default: send(CommandFrames::GarbageSorting()); break;
            }
        });
    }
    QPushButton *close = button("Close", IDC_CLOSE, 252, 338, 54, 25);
    close->setDefault(true);
    close->setAutoDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    // Initial state: disabled white swatches, threshold 0 to 255 at 0, every row "No", area mode.
    for (CButtonEx *swatch : m_swatch) {
        swatch->setEnabled(false);
        swatch->SetBackColor(colourOfCode[0]);
    }
    m_threshold->setRange(0, 255);
    m_threshold->setTickInterval(10);
    UpdateData(false);
}

void CDialogColorPlay::setMessageHook(MessageHook hook)
{
    messageHook() = std::move(hook);
}

void CDialogColorPlay::message(QWidget *parent, const QString &text)
{
    if (messageHook()) {
        messageHook()(text);
        return;
    }
    QMessageBox::information(parent, QStringLiteral("Korvane"), text, QMessageBox::Ok);
}

QColor CDialogColorPlay::swatchColor(int row) const
{
    return m_swatch.at(static_cast<size_t>(row - 1))->backColor();
}

void CDialogColorPlay::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        m_calibrationMode = m_colorMode->isChecked() ? 1 : 0;
        return;
    }
    (m_calibrationMode == 1 ? m_colorMode : m_areaMode)->setChecked(true);
    for (int row = 0; row < 4; ++row) {
        const int code = m_order.at(row).digitValue();
        m_rowRadios[row][code >= 0 && code <= 4 ? code : 0]->setChecked(true);
    }
}

void CDialogColorPlay::OnRowChoice(int row, int colour)
{
    if (row < 1 || row > 4 || colour < 0 || colour > 4)
        return;
    m_order[row - 1] = QChar(u'0' + colour);
    CButtonEx *swatch = m_swatch[static_cast<size_t>(row - 1)];
    swatch->SetBackColor(colourOfCode[colour]);
    swatch->update();
}

void CDialogColorPlay::OnColorCalibrationClicked()
{
    message(this, QStringLiteral("Please select the color to be calibrated in the color selection order area. "
                                 "Then, press <Start>.Next, place the block in the middle box, Finally, click <OK>."));
}

void CDialogColorPlay::OnStart()
{
    UpdateData(true);
    calibrationStep(1);
}

void CDialogColorPlay::OnConfirm()
{
    calibrationStep(2);
}

void CDialogColorPlay::OnCancelCalibration()
{
    calibrationStep(3);
}

void CDialogColorPlay::calibrationStep(int step)
{
    const auto which = static_cast<CommandFrames::CalibrationStep>(step);
    if (m_calibrationMode == 0) {
        send(CommandFrames::CalibrationArea(which));
        return;
    }
    const int colour = m_order.at(0).digitValue();
    if (colour <= 0) {
        message(this, QStringLiteral("Please select the color to be calibrated in the color selection order area!"));
        return;
    }
    send(CommandFrames::CalibrateColour(which, colour));
}

void CDialogColorPlay::sendThreshold()
{
    send(CommandFrames::Threshold(m_threshold->sliderPosition()));
}

void CDialogColorPlay::send(const std::string &frame)
{
    if (m_send)
        m_send(frame);
}
