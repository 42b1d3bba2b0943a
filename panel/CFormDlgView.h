#pragma once

#include "link/ArmLink.h"

#include <QIcon>
#include <QMessageBox>
#include <QScrollArea>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class ArmPoseModel;
class CBitSlider;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QAction;
class QMenu;
class QPushButton;
class QTableWidget;

// The control panel: the form of template 132 inside a scroll area. It drives the link to the
// arm's controller (ArmLink: serial port or TCP socket), sends the operator's frames, reads the
// controller's replies and writes the arm's pose for the 3D view. Fields and controls are exchanged
// explicitly with UpdateData: handlers read the controls first, act on the fields, write them back.
//
// Every control carries its number as object name (decimal text, e.g. "1037").
class CFormDlgView : public QScrollArea
{
    Q_OBJECT

public:
    static constexpr int PositionReadDelayMs = 400;
    static constexpr int PlaybackStartMs = 1000;
    static constexpr int UpdatePoseTimeMs = 500;

    static const QString ApplicationTitle;         // "Korvane"
    static const QString UnsignedIntegerPrompt;    // the ID-number validation message
    static const QString SocketFailedText;         // "Failed to create a socket!"
    static const QString SocketErrorText;          // "SOCKET_ERROR"
    static const QString EmptyActionGroupText;
    static const QString NothingSelectedText;
    static const QString ActionGroupFilter;        // "Action groups (*.kvg)"
    static const QString ActionGroupFolderKey;     // the program's settings: last folder used

    // What the connection dialog hands back after its Connect button.
    struct ConnectionChoice
    {
        int mode = 0; // 0 network, 1 serial port
        int comNumber = 1;
        int baud = 9600;
        QString addr;
        int port = 6000;
        int video = 6001;
        int videoAddrChanged = 0;
    };
    // Runs the connection dialog modally; empty when it was not accepted.
    using ConnectionDialog = std::function<std::optional<ConnectionChoice>(QWidget *parent)>;
    // Shows one message box and returns when it is closed.
    using MessageBox = std::function<void(const QString &text, const QString &title, QMessageBox::Icon icon)>;
    // Asks for the file to save an action group to (forSaving) or to open one from, starting in
    // folder; empty when cancelled.
    using FileNameDialog = std::function<QString(QWidget *parent, bool forSaving, const QString &folder)>;

    // link and pose are the program's (the document's); without them the panel makes its own.
    explicit CFormDlgView(QWidget *parent = nullptr, ArmLink *link = nullptr, ArmPoseModel *pose = nullptr);
    ~CFormDlgView() override;

    // Start-up; the constructor runs it once, and a new document runs it again.
    void OnInitialUpdate();
    // true: controls to fields (false when the ID number is not an unsigned whole number);
    // false: fields to controls.
    bool UpdateData(bool saveAndValidate = true);

    // The one send path. Dropped without a message while not connected.
    void SendCommand(std::string frame);
    void SendJointAngle(int servo, int angle, int enabled);
    void SendPose(int angle1, int angle2, int angle3, int angle4, int angle5, int angle6, int time);
    void ResetToMiddle();
    // From the 3D view's joint keys: value is the servo's new angle with 0 as the middle.
    void SetJointFromView(int send, int servo, int value);
    // The socket's connection attempt has ended.
    void OnSocketConnected(bool ok);
    // The serial device hung up: shown as a disconnect.
    void OnSerialLost();
    // The controller closed the network connection: shown as a disconnect.
    void OnSocketClosed();
    void ParseReply(std::string frame);
    // Window-timer handler: timer PanelId::PlaybackTimer plays the action group.
    void OnTimer(int id);

    // Button handlers.
    void OnConnect();
    void OnStop();
    void OnUpdate();
    void OnPostion();
    void OnDragToRefresh();
    void OnAdd();
    void OnDelete();
    void OnClear();
    void OnSingle();
    void OnLoop();
    void OnAction(int number);
    void OnSetting();
    void OnSetMedian();
    void OnRestoreMedian();
    void OnLight(int control);
    void OnLightToggle();
    void OnColorTracking();
    void OnFaceTracking();
    void OnColorInteraction();
    void OnStartTracking();
    // The action list's menu: the group to a file and back.
    void OnSaveActionGroup();
    void OnOpenActionGroup();

    // Hooks; the defaults show the real dialog and real message boxes.
    void setConnectionDialog(ConnectionDialog dialog) { m_connectionDialog = std::move(dialog); }
    void setMessageBox(MessageBox box) { m_messageBox = std::move(box); }
    void setFileNameDialog(FileNameDialog dialog) { m_fileNameDialog = std::move(dialog); }

    QWidget *control(int id) const;
    QWidget *form() const { return m_form; }
    ArmLink *link() const { return m_link; }
    ArmPoseModel *pose() const { return m_pose; }
    bool isConnected() const;
    int connectionMethod() const { return m_method; }
    bool hasSocket() const;
    const std::array<int, 6> &jointAngles() const { return m_angles; }
    int actionCount() const { return m_actionCount; }
    unsigned playPosition() const { return m_playPosition; }
    bool isLooping() const { return m_looping; }
    const std::string &lastFrame() const { return m_lastFrame; }
    const QString &versionText() const { return m_versionText; }
    // Timer 2 (action-group playback) and the wait before the network read of "Postion".
    const QTimer &playbackTimer() const { return m_playbackTimer; }
    const QTimer &positionReadTimer() const { return m_positionReadTimer; }

signals:
    // A network connect wrote a new video address: the video viewer must be restarted.
    void videoAddressChanged();
    // One of the three sorting-game buttons was pressed.
    void sortingGameRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void setUpActionList();
    void setUpActionListMenu();
    void showActionListMenu(const QPoint &globalPos);
    QString chooseActionGroupFile(bool forSaving);
    void connectHandlers();
    void skinSliders();
    void describeValues();
    void onSliderNotification(int servo);
    void showConnected(bool connected, const QString &caption);
    void onFrameReceived(const std::string &frame, ArmLink::Method via);
    void readPositionReply();
    void applyJointAngles(const std::array<int, 6> &angles);
    void setSliderPosition(int servo, int angle);
    void message(const QString &text, const QString &title = ApplicationTitle,
                 QMessageBox::Icon icon = QMessageBox::Warning);
    static void setCaption(QAbstractButton *button, const QString &text);
    static QIcon connectionIcon(int number);
    static std::optional<ConnectionChoice> runConnectionDialog(QWidget *parent);
    static QString runFileNameDialog(QWidget *parent, bool forSaving, const QString &folder);

    QWidget *m_form = nullptr;

    // Fields.
    int m_method = 0;
    ArmLink *m_link = nullptr;
    ArmPoseModel *m_pose = nullptr;
    QIcon m_disconnectedIcon;
    QIcon m_connectedIcon;
    int m_comNumber = 1;
    int m_baud = 9600;
    std::string m_receiveText;
    std::string m_lastFrame;
    QString m_hostAddress; // the connection dialog's default until the first network connect
    int m_tcpPort = 6000;
    int m_videoPort = 6001;
    std::array<int, 6> m_angles{90, 90, 90, 90, 90, 180};
    QString m_intervalText = QStringLiteral("1000");
    QString m_servoIdText = QStringLiteral("1");
    QString m_versionText;
    unsigned m_idNumber = 0;
    int m_actionCount = 0;
    bool m_initialised = false;
    bool m_looping = false;
    int m_dragToRefresh = 1;
    QString m_colourChoice = QStringLiteral("Close");
    bool m_faceTracking = false;
    unsigned m_playPosition = 0;

    QTimer m_playbackTimer;
    QTimer m_positionReadTimer;

    // Controls.
    QHash<int, QWidget *> m_controls;
    std::array<CBitSlider *, 6> m_sliders{};
    std::array<QLabel *, 6> m_angleLabels{};
    QPushButton *m_connectButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_loopButton = nullptr;
    QPushButton *m_lightToggle = nullptr;
    QPushButton *m_faceButton = nullptr;
    QLabel *m_picture = nullptr;
    QLabel *m_versionLabel = nullptr;
    QLineEdit *m_intervalEdit = nullptr;
    QLineEdit *m_servoIdEdit = nullptr;
    QLineEdit *m_idNumberEdit = nullptr;
    QCheckBox *m_dragCheck = nullptr;
    QComboBox *m_colourBox = nullptr;
    QTableWidget *m_actionList = nullptr;
    QMenu *m_actionListMenu = nullptr;
    QAction *m_saveGroupAction = nullptr;

    ConnectionDialog m_connectionDialog;
    MessageBox m_messageBox;
    FileNameDialog m_fileNameDialog;
    bool m_programmaticMove = false;
    // Which link a pending "Postion" read belongs to.
    unsigned m_positionReadGeneration = 0;
};
