#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class CButtonEx;
class QRadioButton;
class TrackBar;

// "Sorting game": sets up and starts the controller's sorting, stacking and garbage games.
// It only builds frames and hands each to the panel's send path; it reads nothing back and
// keeps nothing once closed.
class CDialogColorPlay : public QDialog
{
    Q_OBJECT

public:
    static constexpr int IDD = 103;
    enum ControlId {
        IDC_SWATCH1 = 1102, // to 1105
        IDC_ROW1_NO = 1122, // to 1125
        IDC_ROW1_RED = 1106, // rows step by 4: 1106..1121
        IDC_AREA_MODE = 1141,
        IDC_COLOR_MODE = 1142,
        IDC_START = 1132,
        IDC_CANCEL_CAL = 1133,
        IDC_OK_CAL = 1134,
        IDC_SEND_SORT_ORDER = 1135,
        IDC_COLOR_SORTING = 1136,
        IDC_SEND_STACK_ORDER = 1137,
        IDC_COLOR_STACKING = 1138,
        IDC_GARBAGE_RECOGNITION = 1139,
        IDC_GARBAGE_SORTING = 1140,
        IDC_THRESHOLD = 1143,
        IDC_UP = 1144,
        IDC_DOWN = 1145,
        IDC_LEFT = 1146,
        IDC_RIGHT = 1147,
        IDC_CLOSE = 1,
    };
    using Sender = std::function<void(const std::string &frame)>;
    using MessageHook = std::function<void(const QString &text)>;

    explicit CDialogColorPlay(Sender sender, QWidget *parent = nullptr);

    // Message boxes go through this hook when set (tests read the texts instead of clicking).
    static void setMessageHook(MessageHook hook);

    QString order() const { return m_order; }
    int calibrationMode() const { return m_calibrationMode; }
    QColor swatchColor(int row) const;
    TrackBar *threshold() const { return m_threshold; }

    // Reads (true) or writes (false) the radio groups and the trackbar.
    void UpdateData(bool saveAndValidate);

    void OnRowChoice(int row, int colour);
    void OnColorCalibrationClicked();
    void OnStart();
    void OnConfirm();
    void OnCancelCalibration();

private:
    void calibrationStep(int step);
    void sendThreshold();
    void send(const std::string &frame);
    static void message(QWidget *parent, const QString &text);

    Sender m_send;
    std::array<CButtonEx *, 4> m_swatch{};
    std::array<std::array<QRadioButton *, 5>, 4> m_rowRadios{};
    QRadioButton *m_areaMode = nullptr;
    QRadioButton *m_colorMode = nullptr;
    TrackBar *m_threshold = nullptr;
    QString m_order = QStringLiteral("0000");
    int m_calibrationMode = 0;
};
