#pragma once

#include "link/CClinetSocket.h"
#include "link/FrameAssembler.h"
#include "link/SerialOwner.h"

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

class CBitSlider;
class CSerialPort;
class QtSerialOwner;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The control panel: the form of template 132 inside a scroll area. It owns the connection to the
// arm's controller (serial port or TCP socket), is the only sender of frames and reads the
// controller's replies. Fields and controls are exchanged explicitly with UpdateData, as the
// handlers have always done it: read the controls first, act on the fields, write them back.
//
// Every control carries its number as object name (decimal text, e.g. "1037").
class CFormDlgView : public QScrollArea, public ClinetSocketOwner, public SerialOwner
{
    Q_OBJECT

public:
    static constexpr int PositionReadDelayMs = 400;
    static constexpr int PlaybackStartMs = 1000;
    static constexpr int UpdatePoseTimeMs = 500;
    static constexpr int ReceiveBufferSize = 1024;

    static constexpr int SerialParity = 'N';
    static constexpr unsigned SerialDataBits = 8;
    static constexpr unsigned SerialStopBits = 1;
    static constexpr uint32_t SerialEventMask = 3;
    static constexpr unsigned SerialWriteCapacity = 1024;

    static const QString ApplicationTitle;         // "Korvane"
    static const QString UnsignedIntegerPrompt;    // the ID-number validation message
    static const QString SocketFailedText;         // "Failed to create a socket!"
    static const QString SocketErrorText;          // "SOCKET_ERROR"
    static const QString EmptyActionGroupText;
    static const QString NothingSelectedText;

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

    explicit CFormDlgView(QWidget *parent = nullptr);
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
    void OnSocketConnected(bool ok) override;
    // Messages of the serial port, on this panel's thread.
    void OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t lparam) override;
    // One received serial byte (low eight bits of wparam); the port number is not used.
    long OnSerialByte(std::uintptr_t wparam, std::uintptr_t lparam);
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

    // Hooks; the defaults show the real dialog and real message boxes.
    void setConnectionDialog(ConnectionDialog dialog) { m_connectionDialog = std::move(dialog); }
    void setMessageBox(MessageBox box) { m_messageBox = std::move(box); }

    QWidget *control(int id) const;
    QWidget *form() const { return m_form; }
    bool isConnected() const { return m_connected; }
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
    void connectHandlers();
    void skinSliders();
    void describeValues();
    void onSliderNotification(int servo);
    void showConnected(bool connected, const QString &caption);
    void readPositionReply();
    void applyJointAngles(const std::array<int, 6> &angles);
    void setSliderPosition(int servo, int angle);
    void message(const QString &text, const QString &title = ApplicationTitle,
                 QMessageBox::Icon icon = QMessageBox::Warning);
    static void setCaption(QAbstractButton *button, const QString &text);
    static QIcon connectionIcon(int number);
    static std::optional<ConnectionChoice> runConnectionDialog(QWidget *parent);

    QWidget *m_form = nullptr;

    // Fields, in the order the panel has always kept them.
    int m_method = 0;
    std::unique_ptr<CClinetSocket> m_socket;
    QIcon m_disconnectedIcon;
    QIcon m_connectedIcon;
    bool m_connected = false;
    // The port hands its messages over through the owner, so the owner must outlive the port.
    std::unique_ptr<QtSerialOwner> m_serialOwner;
    std::unique_ptr<CSerialPort> m_serialPort;
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

    FrameAssembler m_assembler;
    // Replies read over the network are cut into frames too; one per connection.
    FrameAssembler m_networkAssembler;
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

    ConnectionDialog m_connectionDialog;
    MessageBox m_messageBox;
    bool m_programmaticMove = false;
    bool m_closing = false;
    // Which socket a pending "Postion" read belongs to; a new socket starts a new generation.
    unsigned m_socketGeneration = 0;
    unsigned m_positionReadGeneration = 0;
};
