#include "panel/CDengluDlg.h"

#include "link/ComPortMap.h"
#include "panel/DialogFont.h"
#include "panel/DialogUnits.h"
#include "link/PrivateProfile.h"
#include "link/StartupAddressRequest.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>

#include <algorithm>

const char *const CDengluDlg::ConfigPath = "./config.ini";
const char *const CDengluDlg::VideoConfigPath = "./Video/config.ini";
const QString CDengluDlg::DefaultHostAddress = QStringLiteral("192.168.4.1");
const QString CDengluDlg::SelectPortText = QStringLiteral("请先选择有效串口号！");
const QString CDengluDlg::SelectBaudText = QStringLiteral("请先选择有效波特率！");
const QString CDengluDlg::IntegerPromptText = QStringLiteral("Please enter an integer.");

namespace {

constexpr const char *Section = "connect_info";
constexpr const char *VideoSection = "video_addr";
constexpr const char *VideoKey = "addr";
constexpr const char *VideoAddrDefault = "9600";
constexpr int HighestComNumber = 256;
const QString ApplicationTitle = QStringLiteral("Korvane");

// A drop-down list that is refilled each time it is about to open.
class DropDownList : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> aboutToDropDown;

    void showPopup() override
    {
        if (aboutToDropDown)
            aboutToDropDown();
        if (isEnabled())
            QComboBox::showPopup();
    }
};

QComboBox *makeDropDown(QWidget *parent, const DialogUnits &units, int x, int y, int w, int h)
{
    auto *list = new DropDownList(parent);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setCompleter(nullptr); // typed text stays as typed
    // The template's height is the dropped-down extent; the field itself is one line high.
    const QRect extent = units.map(x, y, w, h);
    const int fieldHeight = list->sizeHint().height();
    list->setGeometry(extent.x(), extent.y(), extent.width(), fieldHeight);
    const int rowHeight = std::max(1, list->fontMetrics().height());
    list->setMaxVisibleItems(std::max(1, (extent.height() - fieldHeight) / rowHeight));
    return list;
}

// A whole decimal integer with optional sign and surrounding blanks, as the data exchange takes it.
bool parseInteger(const QString &text, int &value)
{
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok, 10);
    if (ok)
        value = parsed;
    return ok;
}

int numberAfterPrefix(const QString &text)
{
    // The first three characters (normally "COM") are skipped unchecked; a shorter text gives 0.
    return PrivateProfile::ToInt(text.mid(3).toStdString());
}

} // namespace

CDengluDlg::CDengluDlg(QWidget *parent)
    : QDialog(parent)
    , m_messageHook([this](const QString &text) {
        QMessageBox box(QMessageBox::Warning, ApplicationTitle, text, QMessageBox::Ok, this);
        box.exec();
    })
    , m_startupRequest(&RequestStartupAddress)
{
    m_portLister = [] {
        std::vector<ListedPort> ports;
        for (const ComPortMap::Entry &entry : ComPortMap::ListPorts(ConfigPath))
            ports.push_back({static_cast<int>(entry.comNumber), QString::fromStdString(entry.devicePath)});
        return ports;
    };
    setObjectName(QStringLiteral("IDD_DENGLU"));
    setWindowTitle(QStringLiteral("Communication configuration"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont(QStringLiteral("MS Shell Dlg"), 8));
    const DialogUnits units(font());
    setFixedSize(units.mapSize(240, 197));
    createControls(units);
}

CDengluDlg::~CDengluDlg() = default;

void CDengluDlg::registerControl(QWidget *widget, int id, const char *name, const QString &accessibleName)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setProperty("controlId", id);
    widget->setAccessibleName(accessibleName);
    if (id != IDC_STATIC)
        m_controls.insert(id, widget);
}

void CDengluDlg::createControls(const DialogUnits &units)
{
    // Created in template order, which is also the keyboard focus order.
    auto *method = new QLabel(QStringLiteral("Connection method:"), this);
    method->setGeometry(units.map(14, 11, 65, 8));
    registerControl(method, IDC_STATIC, "IDC_STATIC_METHOD", QStringLiteral("Connection method"));

    m_networkRadio = new QRadioButton(QStringLiteral("Network"), this);
    m_networkRadio->setGeometry(units.map(86, 10, 42, 10));
    registerControl(m_networkRadio, IDC_RADIO_NETWORK, "IDC_RADIO_NETWORK", QStringLiteral("Network"));

    m_serialRadio = new QRadioButton(QStringLiteral("Serial port"), this);
    m_serialRadio->setGeometry(units.map(130, 10, 50, 10));
    registerControl(m_serialRadio, IDC_RADIO_SERIAL, "IDC_RADIO_SERIAL", QStringLiteral("Serial port"));

    m_methodGroup = new QButtonGroup(this);
    m_methodGroup->addButton(m_networkRadio, IDC_RADIO_NETWORK);
    m_methodGroup->addButton(m_serialRadio, IDC_RADIO_SERIAL);

    auto *networkGroup = new QGroupBox(QStringLiteral("Network configuration"), this);
    networkGroup->setGeometry(units.map(14, 30, 211, 60));
    registerControl(networkGroup, IDC_STATIC, "IDC_GROUP_NETWORK", QStringLiteral("Network configuration"));

    auto *addrLabel = new QLabel(QStringLiteral("Host address:"), this);
    addrLabel->setAlignment(Qt::AlignCenter);
    addrLabel->setGeometry(units.map(18, 53, 46, 15));
    registerControl(addrLabel, IDC_STATIC_ADDR, "IDC_STATIC_ADDR", QStringLiteral("Host address label"));

    m_addrEdit = new QLineEdit(this);
    m_addrEdit->setGeometry(units.map(68, 55, 57, 14));
    registerControl(m_addrEdit, IDC_EDIT_ADDR, "IDC_EDIT_ADDR", QStringLiteral("Host address"));
    addrLabel->setBuddy(m_addrEdit);

    auto *portLabel = new QLabel(QStringLiteral("Communication:"), this);
    portLabel->setAlignment(Qt::AlignCenter);
    portLabel->setGeometry(units.map(132, 47, 58, 11));
    registerControl(portLabel, IDC_STATIC_PORT, "IDC_STATIC_PORT", QStringLiteral("Communication port label"));

    m_portEdit = new QLineEdit(this);
    m_portEdit->setGeometry(units.map(192, 45, 28, 14));
    registerControl(m_portEdit, IDC_EDIT_PORT, "IDC_EDIT_PORT", QStringLiteral("Communication port"));
    portLabel->setBuddy(m_portEdit);

    auto *videoLabel = new QLabel(QStringLiteral("Video:"), this);
    videoLabel->setAlignment(Qt::AlignCenter);
    videoLabel->setGeometry(units.map(152, 65, 33, 11));
    registerControl(videoLabel, IDC_STATIC, "IDC_STATIC_VIDEO", QStringLiteral("Video port label"));

    m_videoEdit = new QLineEdit(this);
    m_videoEdit->setGeometry(units.map(192, 64, 27, 14));
    registerControl(m_videoEdit, IDC_EDIT_VIDEO, "IDC_EDIT_VIDEO", QStringLiteral("Video port"));
    videoLabel->setBuddy(m_videoEdit);

    auto *serialGroup = new QGroupBox(QStringLiteral("Serial port configuration"), this);
    serialGroup->setGeometry(units.map(15, 99, 211, 49));
    registerControl(serialGroup, IDC_STATIC, "IDC_GROUP_SERIAL", QStringLiteral("Serial port configuration"));

    auto *serialLabel = new QLabel(QStringLiteral("Serial port:"), this);
    serialLabel->setGeometry(units.map(23, 125, 37, 8));
    registerControl(serialLabel, IDC_STATIC, "IDC_STATIC_SERIAL", QStringLiteral("Serial port label"));

    m_portList = makeDropDown(this, units, 69, 124, 43, 58);
    registerControl(m_portList, IDC_COMBO_PORT, "IDC_COMBO_PORT", QStringLiteral("Serial port"));
    serialLabel->setBuddy(m_portList);
    static_cast<DropDownList *>(m_portList)->aboutToDropDown = [this] { EnumeratePorts(); };
    connect(m_portList, &QComboBox::activated, this, &CDengluDlg::onPortSelected);

    auto *baudLabel = new QLabel(QStringLiteral("Baud rate:"), this);
    baudLabel->setGeometry(units.map(128, 126, 35, 8));
    registerControl(baudLabel, IDC_STATIC, "IDC_STATIC_BAUD", QStringLiteral("Baud rate label"));

    m_baudList = makeDropDown(this, units, 168, 123, 43, 62);
    registerControl(m_baudList, IDC_COMBO_BAUD, "IDC_COMBO_BAUD", QStringLiteral("Baud rate"));
    baudLabel->setBuddy(m_baudList);
    m_baudList->addItems({QStringLiteral("2400"), QStringLiteral("9600"), QStringLiteral("19200"),
                          QStringLiteral("115200")});
    m_baudList->setCurrentIndex(-1);
    m_baudList->clearEditText();

    m_connectButton = new QPushButton(QStringLiteral("Connect"), this);
    m_connectButton->setGeometry(units.map(179, 165, 35, 14));
    m_connectButton->setDefault(true);
    registerControl(m_connectButton, IDOK, "IDOK", QStringLiteral("Connect"));

    connect(m_networkRadio, &QRadioButton::clicked, this, &CDengluDlg::onMethodClicked);
    connect(m_serialRadio, &QRadioButton::clicked, this, &CDengluDlg::onMethodClicked);
    connect(m_connectButton, &QPushButton::clicked, this, &CDengluDlg::onConnect);
}

QWidget *CDengluDlg::Control(int id) const
{
    return m_controls.value(id, nullptr);
}

int CDengluDlg::DoModal()
{
    return exec();
}

void CDengluDlg::showEvent(QShowEvent *event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

bool CDengluDlg::OnInitDialog()
{
    m_initialised = true;
    m_mode = PrivateProfile::GetInt(ConfigPath, Section, "mode", 1);
    m_addr = QString::fromStdString(
        PrivateProfile::GetString(ConfigPath, Section, "ip", DefaultHostAddress.toStdString()));
    m_port = PrivateProfile::GetInt(ConfigPath, Section, "port", 6000);
    m_video = PrivateProfile::GetInt(ConfigPath, Section, "video", 6001);
    m_comNumber = PrivateProfile::GetInt(ConfigPath, Section, "com", 1);
    m_baud = PrivateProfile::GetInt(ConfigPath, Section, "baud", 9600);

    if (m_mode == 0) {
        showMethod(0);
    } else if (m_mode == 1) {
        showMethod(1);
        m_baudList->setCurrentIndex(1);
        EnumeratePorts();
        const int port = m_portList->findText(QStringLiteral("COM%1").arg(m_comNumber), Qt::MatchExactly);
        if (port >= 0)
            m_portList->setCurrentIndex(port);
        const int baud = m_baudList->findText(QString::number(m_baud), Qt::MatchExactly);
        if (baud >= 0)
            m_baudList->setCurrentIndex(baud);
    }

    UpdateData(false);
    if (QAbstractButton *checked = m_methodGroup->checkedButton())
        checked->setFocus();
    else
        m_networkRadio->setFocus();
    return true;
}

void CDengluDlg::showMethod(int mode)
{
    const bool serial = mode != 0;
    m_portList->setEnabled(serial);
    m_baudList->setEnabled(serial);
    m_addrEdit->setEnabled(!serial);
    m_portEdit->setEnabled(!serial);
    m_videoEdit->setEnabled(!serial);
}

bool CDengluDlg::UpdateData(bool saveAndValidate)
{
    if (!saveAndValidate) {
        m_portEdit->setText(QString::number(m_port));
        m_addrEdit->setText(m_addr);
        m_videoEdit->setText(QString::number(m_video));
        // A stored method other than the two leaves both buttons clear.
        m_methodGroup->setExclusive(false);
        m_networkRadio->setChecked(m_mode == 0);
        m_serialRadio->setChecked(m_mode == 1);
        m_methodGroup->setExclusive(true);
        return true;
    }

    QLineEdit *firstBad = nullptr;
    const auto exchange = [&firstBad](QLineEdit *edit, int &field) {
        if (parseInteger(edit->text(), field))
            return;
        // An edit the operator cannot reach (the other method's) keeps its field quietly.
        if (edit->isEnabled() && !firstBad)
            firstBad = edit;
    };
    exchange(m_portEdit, m_port);
    m_addr = m_addrEdit->text();
    exchange(m_videoEdit, m_video);
    m_mode = m_networkRadio->isChecked() ? 0 : m_serialRadio->isChecked() ? 1 : -1;

    if (firstBad) {
        message(IntegerPromptText);
        firstBad->setFocus();
        firstBad->selectAll();
        return false;
    }
    return true;
}

void CDengluDlg::EnumeratePorts()
{
    m_portList->clear();
    m_portList->clearEditText();
    std::vector<ListedPort> ports = m_portLister ? m_portLister() : std::vector<ListedPort>{};
    std::erase_if(ports, [](const ListedPort &p) { return p.comNumber < 1 || p.comNumber > HighestComNumber; });
    std::stable_sort(ports.begin(), ports.end(),
                     [](const ListedPort &a, const ListedPort &b) { return a.comNumber < b.comNumber; });
    int last = 0;
    for (const ListedPort &port : ports) {
        if (port.comNumber == last)
            continue;
        last = port.comNumber;
        m_portList->addItem(QStringLiteral("COM%1").arg(port.comNumber));
        m_portList->setItemData(m_portList->count() - 1, port.devicePath, Qt::ToolTipRole);
    }
    if (m_portList->count() == 0) {
        m_portList->setEnabled(false);
        return;
    }
    m_portList->setCurrentIndex(-1);
    m_portList->clearEditText();
}

void CDengluDlg::onMethodClicked()
{
    if (m_networkRadio->isChecked()) {
        showMethod(0);
        m_mode = 0;
    } else if (m_serialRadio->isChecked()) {
        showMethod(1);
        m_mode = 1;
    }
}

void CDengluDlg::onPortSelected(int index)
{
    if (index >= 0)
        m_comNumber = numberAfterPrefix(m_portList->itemText(index));
}

void CDengluDlg::onConnect()
{
    const bool valid = UpdateData(true);
    if (m_mode != 0) {
        connectSerial();
        return;
    }
    // A port the operator typed wrongly was just pointed out; stay so it can be corrected
    // rather than connect with a value nobody entered.
    if (!valid)
        return;
    connectNetwork();
}

void CDengluDlg::connectSerial()
{
    const QString portText = m_portList->currentText();
    if (portText.isEmpty()) {
        message(SelectPortText);
        return;
    }
    m_comNumber = numberAfterPrefix(portText);
    const QString baudText = m_baudList->currentText();
    if (baudText.isEmpty()) {
        message(SelectBaudText);
        return;
    }
    m_baud = PrivateProfile::ToInt(baudText.toStdString());
    m_mode = 1;

    PrivateProfile::WriteString(ConfigPath, Section, "com", std::to_string(m_comNumber));
    PrivateProfile::WriteString(ConfigPath, Section, "baud", std::to_string(m_baud));
    PrivateProfile::WriteString(ConfigPath, Section, "mode", "1");
    done(IDOK);
}

void CDengluDlg::connectNetwork()
{
    PrivateProfile::WriteString(ConfigPath, Section, "mode", "0");
    PrivateProfile::WriteString(ConfigPath, Section, "ip", m_addr.toStdString());
    PrivateProfile::WriteString(ConfigPath, Section, "port", std::to_string(m_port));
    PrivateProfile::WriteString(ConfigPath, Section, "video", std::to_string(m_video));

    // Both values at once: a host text holding "%2" (an IPv6 zone index) is taken as it is.
    const QString videoAddr = QStringLiteral("http://%1:%2").arg(m_addr, QString::number(m_video));
    const QString startupAddr = videoAddr + QStringLiteral("/init");
    PrivateProfile::WriteString(ConfigPath, VideoSection, VideoKey, videoAddr.toStdString());

    const std::string known = PrivateProfile::GetString(VideoConfigPath, VideoSection, VideoKey, VideoAddrDefault);
    if (known != videoAddr.toStdString()) {
        // The viewer's folder may not exist yet; without it the address could not be stored.
        QDir().mkpath(QStringLiteral("./Video"));
        const bool written = PrivateProfile::WriteString(VideoConfigPath, VideoSection, VideoKey,
                                                         videoAddr.toStdString());
        // A viewer restart only helps when it will find the new address.
        m_videoAddrChanged = written ? 1 : 0;
    } else {
        m_videoAddrChanged = 0;
    }

    if (m_startupRequest)
        m_startupRequest(startupAddr);
    done(IDOK);
}

void CDengluDlg::reject()
{
    done(IDCANCEL);
}

void CDengluDlg::message(const QString &text)
{
    if (m_messageHook)
        m_messageHook(text);
}
