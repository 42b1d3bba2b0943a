#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

class DialogUnits;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Communication configuration": how the arm's controller is reached, over the network (host
// address, communication port, video port) or over a serial port (COM port, baud rate). Opens
// with what ./config.ini remembers, and on Connect stores the choice there, writes the video
// address for the video viewer into ./Video/config.ini and, for the network, asks the camera
// server to start. Escape and the close box cancel and write nothing.
//
// Every control carries its template number: object name "IDC_..." (see Control), the dynamic
// property "controlId" and an accessible name.
class CDengluDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int IDD = 130;

    // Controls of template 130.
    static constexpr int IDOK = 1;                 // "Connect"
    static constexpr int IDCANCEL = 2;             // result of Escape and the close box
    static constexpr int IDC_EDIT_ADDR = 1000;     // host address
    static constexpr int IDC_EDIT_PORT = 1001;     // communication (TCP) port
    static constexpr int IDC_STATIC_ADDR = 1003;   // "Host address:"
    static constexpr int IDC_STATIC_PORT = 1004;   // "Communication:"
    static constexpr int IDC_EDIT_VIDEO = 1022;    // video port
    static constexpr int IDC_RADIO_NETWORK = 1082; // first of the method group
    static constexpr int IDC_RADIO_SERIAL = 1083;
    static constexpr int IDC_COMBO_PORT = 1084;    // COM ports found
    static constexpr int IDC_COMBO_BAUD = 1085;    // baud rates
    static constexpr int IDC_STATIC = -1;          // labels and group boxes without a number

    static const char *const ConfigPath;      // "./config.ini"
    static const char *const VideoConfigPath; // "./Video/config.ini"
    static const QString DefaultHostAddress;  // a private-network address
    static const QString SelectPortText;      // empty port text on Connect
    static const QString SelectBaudText;      // empty baud text on Connect
    static const QString IntegerPromptText;   // a port edit that does not hold an integer

    // A serial port that exists on this machine; listing never opens the device. By default the
    // ports come from the machine's COM mapping (ComPortMap).
    struct ListedPort
    {
        int comNumber = 0;
        QString devicePath;
    };
    using PortLister = std::function<std::vector<ListedPort>()>;
    // Shows one message box (caption "Korvane", OK) and returns when it is closed.
    using MessageHook = std::function<void(const QString &text)>;
    // Asks the camera server to open the given start-up address; fire and forget.
    using StartupRequest = std::function<void(const QString &url)>;

    explicit CDengluDlg(QWidget *parent = nullptr);
    ~CDengluDlg() override;

    // Runs the dialog modally: IDOK after an accepted Connect, IDCANCEL otherwise.
    int DoModal();

    // Fills the controls from ./config.ini. Runs by itself when the dialog is first shown.
    bool OnInitDialog();
    // true: controls to fields, false when a port edit does not hold an integer (that field keeps
    // its value and the operator is told); false: fields to controls.
    bool UpdateData(bool saveAndValidate = true);
    // Rebuilds the port list from the ports that exist (also each time it drops down).
    void EnumeratePorts();

    // The control with that template number (IDC_STATIC has none).
    QWidget *Control(int id) const;

    void SetPortLister(PortLister lister) { m_portLister = std::move(lister); }
    void SetMessageHook(MessageHook hook) { m_messageHook = std::move(hook); }
    void SetStartupRequest(StartupRequest request) { m_startupRequest = std::move(request); }

    // Fields.
    int m_port = 6000;
    QString m_addr = DefaultHostAddress;
    int m_video = 6001;
    int m_mode = 0; // 0 network, 1 serial port
    int m_comNumber = 0;
    int m_baud = 0;
    int m_videoAddrChanged = 0;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls(const DialogUnits &units);
    void registerControl(QWidget *widget, int id, const char *name, const QString &accessibleName);
    void showMethod(int mode);
    void onMethodClicked();
    void onPortSelected(int index);
    void onConnect();
    void connectSerial();
    void connectNetwork();
    void message(const QString &text);

    QRadioButton *m_networkRadio = nullptr;
    QRadioButton *m_serialRadio = nullptr;
    QButtonGroup *m_methodGroup = nullptr;
    QLineEdit *m_addrEdit = nullptr;
    QLineEdit *m_portEdit = nullptr;
    QLineEdit *m_videoEdit = nullptr;
    QComboBox *m_portList = nullptr;
    QComboBox *m_baudList = nullptr;
    QPushButton *m_connectButton = nullptr;
    QHash<int, QWidget *> m_controls;

    PortLister m_portLister;
    MessageHook m_messageHook;
    StartupRequest m_startupRequest;
    bool m_initialised = false;
};
