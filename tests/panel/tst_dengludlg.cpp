#include "panel/CDengluDlg.h"
#include "panel/DialogUnits.h"

#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <pty.h>
#include <unistd.h>
#include <sys/stat.h>

namespace {

QByteArray slurp(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

ino_t inodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

std::vector<CDengluDlg::ListedPort> portsFrom(const QList<int> &numbers)
{
    std::vector<CDengluDlg::ListedPort> ports;
    for (int n : numbers)
        ports.push_back({n, QStringLiteral("/dev/ttyUSB%1").arg(n - 1)});
    return ports;
}

// Rounded like the platform's MulDiv, written out independently of the dialog's code.
int scaled(int value, int base, int divisor)
{
    return int(std::lround(double(value) * base / divisor));
}

} // namespace

class TestDengluDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogUnitsConvertCornerByCorner_data();
    void dialogUnitsConvertCornerByCorner();
    void controlsFollowTheTemplate_data();
    void controlsFollowTheTemplate();
    void everyControlIsFoundByNumberAndName();

    void initialisesFromConfig_data();
    void initialisesFromConfig();
    void portListFilledOnDropDownOnly();
    void defaultListingFindsMappedPorts();
    void methodSwitchEnablesOneSide_data();
    void methodSwitchEnablesOneSide();
    void selectingAPortTakesItsNumber();

    void serialConnectWritesThreeKeys_data();
    void serialConnectWritesThreeKeys();
    void serialConnectNeedsPortAndBaud_data();
    void serialConnectNeedsPortAndBaud();
    void networkConnectWritesSettingsAndVideoAddress_data();
    void networkConnectWritesSettingsAndVideoAddress();
    void networkConnectStaysOnABadPort();
    void serialConnectIgnoresTheOtherMethodsEdits();
    void comNumberAboveNineRoundTrips();
    void startupAddressRequestedOncePerNetworkConnect();

    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void modalRunReturnsTheButton();

private:
    std::unique_ptr<CDengluDlg> makeDialog(const QList<int> &ports = {1, 3});
    void clickConnect(CDengluDlg &dlg);

    QTemporaryDir *m_dir = nullptr;
    QString m_previousDir;
    QStringList m_messages;
    QStringList m_startups;
    int m_listings = 0;
};

void TestDengluDlg::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_messages.clear();
    m_startups.clear();
    m_listings = 0;
}

void TestDengluDlg::cleanup()
{
    QDir::setCurrent(m_previousDir);
    delete m_dir;
    m_dir = nullptr;
}

std::unique_ptr<CDengluDlg> TestDengluDlg::makeDialog(const QList<int> &ports)
{
    auto dlg = std::make_unique<CDengluDlg>();
    dlg->SetPortLister([this, ports] {
        ++m_listings;
        return portsFrom(ports);
    });
    dlg->SetMessageHook([this](const QString &text) { m_messages << text; });
    dlg->SetStartupRequest([this](const QString &url) { m_startups << url; });
    dlg->show();
    return dlg;
}

void TestDengluDlg::clickConnect(CDengluDlg &dlg)
{
    QTest::mouseClick(dlg.Control(CDengluDlg::IDOK), Qt::LeftButton);
}

void TestDengluDlg::dialogUnitsConvertCornerByCorner_data()
{
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    // Corners are rounded separately, so equal widths can map to different pixel widths.
    QTest::newRow("label 6x13") << 6 << 13 << QRect(14, 11, 65, 8) << QRect(21, 18, 98, 13);
    QTest::newRow("button 6x13") << 6 << 13 << QRect(179, 165, 35, 14) << QRect(269, 268, 52, 23);
    QTest::newRow("edit 7x16") << 7 << 16 << QRect(192, 45, 28, 14) << QRect(336, 90, 49, 28);
    QTest::newRow("dialog 5x13") << 5 << 13 << QRect(0, 0, 240, 197) << QRect(0, 0, 300, 320);
}

void TestDengluDlg::dialogUnitsConvertCornerByCorner()
{
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    const DialogUnits du(baseX, baseY);
    QCOMPARE(du.map(units.x(), units.y(), units.width(), units.height()), pixels);
}

void TestDengluDlg::controlsFollowTheTemplate_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QString>("caption");
    QTest::newRow("method") << "IDC_STATIC_METHOD" << QRect(14, 11, 65, 8) << "Connection method:";
    QTest::newRow("1082") << "IDC_RADIO_NETWORK" << QRect(86, 10, 42, 10) << "Network";
    QTest::newRow("1083") << "IDC_RADIO_SERIAL" << QRect(130, 10, 50, 10) << "Serial port";
    QTest::newRow("network group") << "IDC_GROUP_NETWORK" << QRect(14, 30, 211, 60) << "Network configuration";
    QTest::newRow("1003") << "IDC_STATIC_ADDR" << QRect(18, 53, 46, 15) << "Host address:";
    QTest::newRow("1000") << "IDC_EDIT_ADDR" << QRect(68, 55, 57, 14) << "";
    QTest::newRow("1004") << "IDC_STATIC_PORT" << QRect(132, 47, 58, 11) << "Communication:";
    QTest::newRow("1001") << "IDC_EDIT_PORT" << QRect(192, 45, 28, 14) << "";
    QTest::newRow("video label") << "IDC_STATIC_VIDEO" << QRect(152, 65, 33, 11) << "Video:";
    QTest::newRow("1022") << "IDC_EDIT_VIDEO" << QRect(192, 64, 27, 14) << "";
    QTest::newRow("serial group") << "IDC_GROUP_SERIAL" << QRect(15, 99, 211, 49) << "Serial port configuration";
    QTest::newRow("serial label") << "IDC_STATIC_SERIAL" << QRect(23, 125, 37, 8) << "Serial port:";
    QTest::newRow("1084") << "IDC_COMBO_PORT" << QRect(69, 124, 43, 58) << "";
    QTest::newRow("baud label") << "IDC_STATIC_BAUD" << QRect(128, 126, 35, 8) << "Baud rate:";
    QTest::newRow("1085") << "IDC_COMBO_BAUD" << QRect(168, 123, 43, 62) << "";
    QTest::newRow("1") << "IDOK" << QRect(179, 165, 35, 14) << "Connect";
}

void TestDengluDlg::controlsFollowTheTemplate()
{
    QFETCH(QString, name);
    QFETCH(QRect, units);
    QFETCH(QString, caption);
    CDengluDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Communication configuration"));

    const QFontMetrics fm(dlg.font());
    const int baseX = (fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
    const int baseY = fm.height();
    QVERIFY(baseX > 2 && baseY > 6);
    QCOMPARE(dlg.size(), QSize(scaled(240, baseX, 4), scaled(197, baseY, 8)));

    auto *w = dlg.findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    const int left = scaled(units.x(), baseX, 4);
    const int top = scaled(units.y(), baseY, 8);
    const QRect expected(left, top, scaled(units.x() + units.width(), baseX, 4) - left,
                         scaled(units.y() + units.height(), baseY, 8) - top);
    if (qobject_cast<QComboBox *>(w)) {
        // The template height of a drop-down list is its opened extent; the field is one line.
        QCOMPARE(w->geometry().topLeft(), expected.topLeft());
        QCOMPARE(w->width(), expected.width());
        QVERIFY(w->height() < expected.height());
        QVERIFY(static_cast<QComboBox *>(w)->maxVisibleItems() >= 2);
    } else {
        QCOMPARE(w->geometry(), expected);
    }

    QString text;
    if (auto *label = qobject_cast<QLabel *>(w))
        text = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        text = button->text();
    else if (auto *group = qobject_cast<QGroupBox *>(w))
        text = group->title();
    QCOMPARE(text, caption);
}

void TestDengluDlg::everyControlIsFoundByNumberAndName()
{
    CDengluDlg dlg;
    const QList<int> ids{1, 1000, 1001, 1003, 1004, 1022, 1082, 1083, 1084, 1085};
    for (int id : ids) {
        QWidget *w = dlg.Control(id);
        QVERIFY2(w, qPrintable(QString::number(id)));
        QCOMPARE(w->property("controlId").toInt(), id);
        QVERIFY(!w->accessibleName().isEmpty());
        QCOMPARE(dlg.findChild<QWidget *>(w->objectName()), w);
    }
    QVERIFY(!dlg.Control(2)); // no Cancel button
    QVERIFY(static_cast<QPushButton *>(dlg.Control(1))->isDefault());
    // Labels and group boxes without a number are still named for accessibility tools.
    int unnumbered = 0;
    for (QWidget *w : dlg.findChildren<QWidget *>()) {
        if (w->property("controlId").toInt() == CDengluDlg::IDC_STATIC) {
            ++unnumbered;
            QVERIFY(w->objectName().startsWith(QLatin1String("IDC_")));
            QVERIFY(!w->accessibleName().isEmpty());
        }
    }
    QCOMPARE(unnumbered, 6);
}

void TestDengluDlg::initialisesFromConfig_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QList<int>>("ports");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("checked"); // "network", "serial" or "none"
    QTest::addColumn<bool>("editsEnabled");
    QTest::addColumn<bool>("listsEnabled");
    QTest::addColumn<QStringList>("edits"); // address, port, video
    QTest::addColumn<QString>("portText");
    QTest::addColumn<QString>("baudText");
    QTest::addColumn<int>("listings");

    const QStringList defaults{"192.168.4.1", "6000", "6001"};
    QTest::newRow("no file") << QByteArray() << QList<int>{1, 3} << 1 << "serial" << false << true << defaults
                             << "COM1" << "9600" << 1;
    QTest::newRow("no file, no COM1") << QByteArray() << QList<int>{2, 3} << 1 << "serial" << false << true
                                      << defaults << "" << "9600" << 1;
    QTest::newRow("network stored")
        << QByteArray("[connect_info]\nmode=0\nip=10.0.0.5\nport=7000\nvideo=7001\ncom=3\nbaud=115200\n")
        << QList<int>{1, 3} << 0 << "network" << true << false << QStringList{"10.0.0.5", "7000", "7001"} << ""
        << "" << 0;
    QTest::newRow("serial COM3 at 115200")
        << QByteArray("[connect_info]\nmode=1\nip=10.0.0.5\ncom=3\nbaud=115200\n") << QList<int>{1, 3} << 1
        << "serial" << false << true << QStringList{"10.0.0.5", "6000", "6001"} << "COM3" << "115200" << 1;
    QTest::newRow("baud not offered stays on 9600")
        << QByteArray("[connect_info]\nmode=1\nbaud=4800\n") << QList<int>{1} << 1 << "serial" << false << true
        << defaults << "COM1" << "9600" << 1;
    QTest::newRow("text reads as 0")
        << QByteArray("[connect_info]\nmode=net\nport=six\nvideo=6001x\n") << QList<int>{1} << 0 << "network"
        << true << false << QStringList{"192.168.4.1", "0", "6001"} << "" << "" << 0;
    QTest::newRow("unknown method changes no control")
        << QByteArray("[connect_info]\nmode=2\n") << QList<int>{1} << 2 << "none" << true << true << defaults
        << "" << "" << 0;
}

void TestDengluDlg::initialisesFromConfig()
{
    QFETCH(QByteArray, config);
    QFETCH(QList<int>, ports);
    QFETCH(int, mode);
    QFETCH(QString, checked);
    QFETCH(bool, editsEnabled);
    QFETCH(bool, listsEnabled);
    QFETCH(QStringList, edits);
    QFETCH(QString, portText);
    QFETCH(QString, baudText);
    QFETCH(int, listings);
    if (!config.isEmpty())
        put(QStringLiteral("config.ini"), config);

    auto dlg = makeDialog(ports);
    QCOMPARE(dlg->m_mode, mode);
    auto *network = static_cast<QRadioButton *>(dlg->Control(CDengluDlg::IDC_RADIO_NETWORK));
    auto *serial = static_cast<QRadioButton *>(dlg->Control(CDengluDlg::IDC_RADIO_SERIAL));
    QCOMPARE(network->isChecked(), checked == QLatin1String("network"));
    QCOMPARE(serial->isChecked(), checked == QLatin1String("serial"));
    for (int id : {CDengluDlg::IDC_EDIT_ADDR, CDengluDlg::IDC_EDIT_PORT, CDengluDlg::IDC_EDIT_VIDEO})
        QCOMPARE(dlg->Control(id)->isEnabled(), editsEnabled);
    auto *portList = static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_PORT));
    auto *baudList = static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_BAUD));
    QCOMPARE(portList->isEnabled(), listsEnabled);
    QCOMPARE(baudList->isEnabled(), listsEnabled);
    QCOMPARE(static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_ADDR))->text(), edits[0]);
    QCOMPARE(static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_PORT))->text(), edits[1]);
    QCOMPARE(static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_VIDEO))->text(), edits[2]);
    QCOMPARE(portList->currentText(), portText);
    QCOMPARE(baudList->currentText(), baudText);
    QCOMPARE(m_listings, listings);
    QStringList baudRates;
    for (int i = 0; i < baudList->count(); ++i)
        baudRates << baudList->itemText(i);
    QCOMPARE(baudRates, QStringList({"2400", "9600", "19200", "115200"}));
    QVERIFY(m_messages.isEmpty());
}

void TestDengluDlg::portListFilledOnDropDownOnly()
{
    put(QStringLiteral("config.ini"), "[connect_info]\nmode=0\n");
    auto dlg = makeDialog({12, 2, 300, 2});
    auto *portList = static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_PORT));
    QCOMPARE(portList->count(), 0);
    QTest::mouseClick(dlg->Control(CDengluDlg::IDC_RADIO_SERIAL), Qt::LeftButton);
    QCOMPARE(m_listings, 0); // switching does not list the ports

    portList->showPopup();
    portList->hidePopup();
    QCOMPARE(m_listings, 1);
    // In COM-number order, each once, only numbers a COM name can have; the device as tooltip.
    QCOMPARE(portList->count(), 2);
    QCOMPARE(portList->itemText(0), QStringLiteral("COM2"));
    QCOMPARE(portList->itemText(1), QStringLiteral("COM12"));
    QCOMPARE(portList->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB11"));
    QCOMPARE(portList->currentIndex(), -1);

    // Each drop-down lists afresh and clears an earlier choice.
    portList->setCurrentIndex(1);
    portList->showPopup();
    portList->hidePopup();
    QCOMPARE(m_listings, 2);
    QCOMPARE(portList->currentText(), QString());

    // Nothing found: the list is disabled.
    dlg->SetPortLister([] { return std::vector<CDengluDlg::ListedPort>{}; });
    portList->showPopup();
    QCOMPARE(portList->count(), 0);
    QVERIFY(!portList->isEnabled());
}

void TestDengluDlg::defaultListingFindsMappedPorts()
{
    int master = -1;
    int slave = -1;
    QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const QString device = QString::fromLocal8Bit(::ttyname(slave));
    put(QStringLiteral("config.ini"), "[connect_info]\nmode=1\ncom=7\n[com_ports]\nCOM7=" + device.toLocal8Bit() + "\n");
    {
        CDengluDlg dlg; // the machine's own listing
        dlg.show();
        auto *portList = static_cast<QComboBox *>(dlg.Control(CDengluDlg::IDC_COMBO_PORT));
        QCOMPARE(portList->currentText(), QStringLiteral("COM7"));
        QCOMPARE(portList->itemData(portList->currentIndex(), Qt::ToolTipRole).toString(), device);
    }
    ::close(slave);
    ::close(master);
}

void TestDengluDlg::methodSwitchEnablesOneSide_data()
{
    QTest::addColumn<int>("storedMode");
    QTest::addColumn<int>("click");
    QTest::addColumn<int>("mode");
    QTest::newRow("serial to network") << 1 << CDengluDlg::IDC_RADIO_NETWORK << 0;
    QTest::newRow("network to serial") << 0 << CDengluDlg::IDC_RADIO_SERIAL << 1;
    QTest::newRow("unknown to serial") << 7 << CDengluDlg::IDC_RADIO_SERIAL << 1;
    QTest::newRow("unknown to network") << 7 << CDengluDlg::IDC_RADIO_NETWORK << 0;
}

void TestDengluDlg::methodSwitchEnablesOneSide()
{
    QFETCH(int, storedMode);
    QFETCH(int, click);
    QFETCH(int, mode);
    put(QStringLiteral("config.ini"), "[connect_info]\nmode=" + QByteArray::number(storedMode) + "\n");
    auto dlg = makeDialog();
    QTest::mouseClick(dlg->Control(click), Qt::LeftButton);
    QCOMPARE(dlg->m_mode, mode);
    const bool network = mode == 0;
    QCOMPARE(static_cast<QRadioButton *>(dlg->Control(click))->isChecked(), true);
    for (int id : {CDengluDlg::IDC_EDIT_ADDR, CDengluDlg::IDC_EDIT_PORT, CDengluDlg::IDC_EDIT_VIDEO})
        QCOMPARE(dlg->Control(id)->isEnabled(), network);
    QCOMPARE(dlg->Control(CDengluDlg::IDC_COMBO_PORT)->isEnabled(), !network);
    QCOMPARE(dlg->Control(CDengluDlg::IDC_COMBO_BAUD)->isEnabled(), !network);
}

void TestDengluDlg::selectingAPortTakesItsNumber()
{
    auto dlg = makeDialog({1, 12, 40});
    auto *portList = static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_PORT));
    QCOMPARE(dlg->m_comNumber, 1);
    QTest::keyClick(portList, Qt::Key_Down);
    QCOMPARE(portList->currentText(), QStringLiteral("COM12"));
    QCOMPARE(dlg->m_comNumber, 12);
    QTest::keyClick(portList, Qt::Key_Down);
    QCOMPARE(dlg->m_comNumber, 40);
}

void TestDengluDlg::serialConnectWritesThreeKeys_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("portText"); // typed over the selection when not empty
    QTest::addColumn<QString>("baudText");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<int>("com");
    QTest::addColumn<int>("baud");

    QTest::newRow("fresh") << QByteArray() << "" << "" << QByteArray("[connect_info]\ncom=1\nbaud=9600\nmode=1\n")
                           << 1 << 9600;
    QTest::newRow("keeps network settings")
        << QByteArray("[connect_info]\nmode=0\nip=10.0.0.5\nport=7000\nvideo=7001\n[video_addr]\naddr=http://10.0.0.5:7001\n")
        << "COM3" << "115200"
        << QByteArray("[connect_info]\nmode=1\nip=10.0.0.5\nport=7000\nvideo=7001\ncom=3\nbaud=115200\n"
                      "[video_addr]\naddr=http://10.0.0.5:7001\n")
        << 3 << 115200;
    QTest::newRow("typed number loses three digits") << QByteArray() << "1234" << "19200"
                                                     << QByteArray("[connect_info]\ncom=4\nbaud=19200\nmode=1\n")
                                                     << 4 << 19200;
    QTest::newRow("short text gives 0") << QByteArray() << "12" << "2400"
                                        << QByteArray("[connect_info]\ncom=0\nbaud=2400\nmode=1\n") << 0 << 2400;
    QTest::newRow("typed baud") << QByteArray("[connect_info]\nmode=1\ncom=7\n") << "COM7" << "57600"
                                << QByteArray("[connect_info]\nmode=1\ncom=7\nbaud=57600\n") << 7 << 57600;
}

void TestDengluDlg::serialConnectWritesThreeKeys()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, portText);
    QFETCH(QString, baudText);
    QFETCH(QByteArray, written);
    QFETCH(int, com);
    QFETCH(int, baud);
    if (!config.isEmpty())
        put(QStringLiteral("config.ini"), config);
    auto dlg = makeDialog({1, 3});
    QTest::mouseClick(dlg->Control(CDengluDlg::IDC_RADIO_SERIAL), Qt::LeftButton);
    if (!portText.isEmpty())
        static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_PORT))->setEditText(portText);
    if (!baudText.isEmpty())
        static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_BAUD))->setEditText(baudText);
    clickConnect(*dlg);

    QCOMPARE(dlg->result(), int(CDengluDlg::IDOK));
    QVERIFY(!dlg->isVisible());
    QCOMPARE(slurp(QStringLiteral("config.ini")), written);
    QCOMPARE(dlg->m_mode, 1);
    QCOMPARE(dlg->m_comNumber, com);
    QCOMPARE(dlg->m_baud, baud);
    QVERIFY(!QFileInfo::exists(QStringLiteral("Video")));
    QVERIFY(m_startups.isEmpty());
    QVERIFY(m_messages.isEmpty());
}

void TestDengluDlg::serialConnectNeedsPortAndBaud_data()
{
    QTest::addColumn<QList<int>>("ports");
    QTest::addColumn<QString>("baudText");
    QTest::addColumn<QString>("message");
    QTest::newRow("no port selected") << QList<int>{2} << "9600" << QStringLiteral("请先选择有效串口号！");
    QTest::newRow("no port at all") << QList<int>{} << "9600" << QStringLiteral("请先选择有效串口号！");
    QTest::newRow("no baud") << QList<int>{1} << "" << QStringLiteral("请先选择有效波特率！");
}

void TestDengluDlg::serialConnectNeedsPortAndBaud()
{
    QFETCH(QList<int>, ports);
    QFETCH(QString, baudText);
    QFETCH(QString, message);
    auto dlg = makeDialog(ports);
    static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_BAUD))->setEditText(baudText);
    clickConnect(*dlg);
    QCOMPARE(m_messages, QStringList{message});
    QVERIFY(dlg->isVisible());
    QVERIFY(!QFileInfo::exists(QStringLiteral("config.ini")));
}

void TestDengluDlg::networkConnectWritesSettingsAndVideoAddress_data()
{
    QTest::addColumn<QByteArray>("videoConfig"); // "-" : no Video folder at all
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QByteArray>("videoAfter");
    QTest::addColumn<QString>("host");

    QTest::newRow("no Video folder") << QByteArray("-") << true
                                     << QByteArray("[video_addr]\naddr=http://10.1.2.3:7001\n") << QStringLiteral("10.1.2.3");
    QTest::newRow("no file") << QByteArray() << true << QByteArray("[video_addr]\naddr=http://10.1.2.3:7001\n") << QStringLiteral("10.1.2.3");
    QTest::newRow("same address") << QByteArray("; viewer\r\n[video_addr]\r\naddr=http://10.1.2.3:7001\r\n") << false
                                  << QByteArray("; viewer\r\n[video_addr]\r\naddr=http://10.1.2.3:7001\r\n")
                                  << QStringLiteral("10.1.2.3");
    QTest::newRow("other address") << QByteArray("[video_addr]\naddr=http://10.1.2.3:6001\n[window]\nx=4\n") << true
                                   << QByteArray("[video_addr]\naddr=http://10.1.2.3:7001\n[window]\nx=4\n") << QStringLiteral("10.1.2.3");
    QTest::newRow("case differs") << QByteArray("[video_addr]\naddr=HTTP://10.1.2.3:7001\n") << true
                                  << QByteArray("[video_addr]\naddr=http://10.1.2.3:7001\n") << QStringLiteral("10.1.2.3");
    QTest::newRow("key missing") << QByteArray("[video_addr]\nfps=25\n") << true
                                 << QByteArray("[video_addr]\nfps=25\naddr=http://10.1.2.3:7001\n") << QStringLiteral("10.1.2.3");
    // An IPv6 zone index holds a "%2" that must stay as typed.
    QTest::newRow("zone index in the host") << QByteArray() << true
                                            << QByteArray("[video_addr]\naddr=http://fe80::1%2:7001\n")
                                            << QStringLiteral("fe80::1%2");
}

void TestDengluDlg::networkConnectWritesSettingsAndVideoAddress()
{
    QFETCH(QByteArray, videoConfig);
    QFETCH(bool, changed);
    QFETCH(QByteArray, videoAfter);
    QFETCH(QString, host);
    put(QStringLiteral("config.ini"), "[connect_info]\nmode=1\ncom=5\nbaud=19200\n[com_ports]\nCOM5=/dev/pts/9\n");
    if (videoConfig != "-") {
        QVERIFY(QDir().mkpath(QStringLiteral("Video")));
        if (!videoConfig.isEmpty())
            put(QStringLiteral("Video/config.ini"), videoConfig);
    }
    const ino_t videoInode = inodeOf(QStringLiteral("Video/config.ini"));

    auto dlg = makeDialog();
    dlg->m_videoAddrChanged = changed ? 0 : 1; // must be set either way
    QTest::mouseClick(dlg->Control(CDengluDlg::IDC_RADIO_NETWORK), Qt::LeftButton);
    static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_ADDR))->setText(host);
    static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_PORT))->setText(QStringLiteral("7000"));
    static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_VIDEO))->setText(QStringLiteral("7001"));
    clickConnect(*dlg);

    QCOMPARE(dlg->result(), int(CDengluDlg::IDOK));
    QCOMPARE(dlg->m_mode, 0);
    QCOMPARE(dlg->m_addr, host);
    QCOMPARE(dlg->m_port, 7000);
    QCOMPARE(dlg->m_video, 7001);
    QCOMPARE(dlg->m_videoAddrChanged, changed ? 1 : 0);
    // Existing keys change in place, new ones follow in the order written; serial keys stay.
    QCOMPARE(slurp(QStringLiteral("config.ini")),
             "[connect_info]\nmode=0\ncom=5\nbaud=19200\nip=" + host.toUtf8() + "\nport=7000\nvideo=7001\n"
             "[com_ports]\nCOM5=/dev/pts/9\n[video_addr]\naddr=http://" + host.toUtf8() + ":7001\n");
    QCOMPARE(slurp(QStringLiteral("Video/config.ini")), videoAfter);
    if (!changed)
        QCOMPARE(inodeOf(QStringLiteral("Video/config.ini")), videoInode); // not rewritten
    QCOMPARE(m_startups, QStringList{QStringLiteral("http://") + host + QStringLiteral(":7001/init")});
    QVERIFY(m_messages.isEmpty());
}

void TestDengluDlg::networkConnectStaysOnABadPort()
{
    put(QStringLiteral("config.ini"), "[connect_info]\nmode=0\nport=6000\n");
    const QByteArray before = slurp(QStringLiteral("config.ini"));
    auto dlg = makeDialog();
    auto *port = static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_PORT));
    port->setText(QStringLiteral("60a0"));
    static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_ADDR))->setText(QStringLiteral("10.9.9.9"));
    clickConnect(*dlg);
    QCOMPARE(m_messages, QStringList{CDengluDlg::IntegerPromptText});
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->m_port, 6000);
    QCOMPARE(slurp(QStringLiteral("config.ini")), before);
    QVERIFY(m_startups.isEmpty());

    // Corrected (blanks around a number are fine), Connect goes through.
    port->setText(QStringLiteral(" 6500 "));
    clickConnect(*dlg);
    QCOMPARE(dlg->result(), int(CDengluDlg::IDOK));
    QCOMPARE(dlg->m_port, 6500);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_startups, QStringList{QStringLiteral("http://10.9.9.9:6001/init")});
}

void TestDengluDlg::serialConnectIgnoresTheOtherMethodsEdits()
{
    put(QStringLiteral("config.ini"), "[connect_info]\nmode=0\nport=6000\n");
    auto dlg = makeDialog({1});
    static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_PORT))->setText(QStringLiteral("oops"));
    QTest::mouseClick(dlg->Control(CDengluDlg::IDC_RADIO_SERIAL), Qt::LeftButton);
    static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_PORT))->setEditText(QStringLiteral("COM1"));
    static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_BAUD))->setEditText(QStringLiteral("9600"));
    clickConnect(*dlg);
    QCOMPARE(dlg->result(), int(CDengluDlg::IDOK));
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(dlg->m_port, 6000);
    QCOMPARE(slurp(QStringLiteral("config.ini")), QByteArray("[connect_info]\nmode=1\nport=6000\ncom=1\nbaud=9600\n"));
}

void TestDengluDlg::comNumberAboveNineRoundTrips()
{
    {
        auto dlg = makeDialog({1, 12});
        auto *portList = static_cast<QComboBox *>(dlg->Control(CDengluDlg::IDC_COMBO_PORT));
        QTest::keyClick(portList, Qt::Key_Down);
        clickConnect(*dlg);
        QCOMPARE(dlg->m_comNumber, 12);
    }
    auto again = makeDialog({1, 12});
    QCOMPARE(again->m_comNumber, 12);
    QCOMPARE(static_cast<QComboBox *>(again->Control(CDengluDlg::IDC_COMBO_PORT))->currentText(),
             QStringLiteral("COM12"));
}

void TestDengluDlg::startupAddressRequestedOncePerNetworkConnect()
{
    QTcpServer camera;
    QVERIFY(camera.listen(QHostAddress::LocalHost));
    QList<QByteArray> requests;
    QList<QTcpSocket *> clients;
    connect(&camera, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket *client = camera.nextPendingConnection()) {
            clients << client;
            connect(client, &QTcpSocket::readyRead, this, [&, client] {
                const QByteArray head = client->readAll();
                if (head.isEmpty())
                    return;
                requests << head.left(head.indexOf("\r\n"));
                client->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                client->disconnectFromHost();
            });
        }
    });
    put(QStringLiteral("config.ini"),
        "[connect_info]\nmode=0\nip=127.0.0.1\nvideo=" + QByteArray::number(camera.serverPort()) + "\n");

    QList<int> changes;
    for (int press = 1; press <= 2; ++press) {
        CDengluDlg dlg;
        dlg.SetMessageHook([this](const QString &text) { m_messages << text; });
        dlg.show(); // the real request, not the test's stand-in
        clickConnect(dlg);
        QCOMPARE(dlg.result(), int(CDengluDlg::IDOK));
        changes << dlg.m_videoAddrChanged;
        QTRY_COMPARE(requests.size(), press);
    }
    QTest::qWait(100);
    QCOMPARE(requests, QList<QByteArray>({"GET /init HTTP/1.1", "GET /init HTTP/1.1"}));
    QCOMPARE(changes, QList<int>({1, 0})); // the second press finds the address unchanged
    QVERIFY(m_messages.isEmpty());
}

void TestDengluDlg::cancelWritesNothing_data()
{
    QTest::addColumn<bool>("escape"); // else the close box
    QTest::newRow("Escape") << true;
    QTest::newRow("close box") << false;
}

void TestDengluDlg::cancelWritesNothing()
{
    QFETCH(bool, escape);
    auto dlg = makeDialog({1});
    QTest::mouseClick(dlg->Control(CDengluDlg::IDC_RADIO_NETWORK), Qt::LeftButton);
    static_cast<QLineEdit *>(dlg->Control(CDengluDlg::IDC_EDIT_ADDR))->setText(QStringLiteral("10.0.0.1"));
    if (escape)
        QTest::keyClick(dlg->Control(CDengluDlg::IDC_EDIT_ADDR), Qt::Key_Escape);
    else
        dlg->close();
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(CDengluDlg::IDCANCEL));
    QCOMPARE(QDir(QStringLiteral(".")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(m_startups.isEmpty());
}

void TestDengluDlg::modalRunReturnsTheButton()
{
    QList<int> results;
    for (const bool connectPressed : {true, false}) {
        CDengluDlg dlg;
        dlg.SetPortLister([] { return portsFrom({1}); });
        dlg.SetStartupRequest([](const QString &) {});
        QTimer::singleShot(0, &dlg, [&dlg, connectPressed] {
            if (connectPressed)
                QTest::mouseClick(dlg.Control(CDengluDlg::IDOK), Qt::LeftButton);
            else
                QTest::keyClick(&dlg, Qt::Key_Escape);
        });
        results << dlg.DoModal();
    }
    QCOMPARE(results, QList<int>({CDengluDlg::IDOK, CDengluDlg::IDCANCEL}));
}

QTEST_MAIN(TestDengluDlg)
#include "tst_dengludlg.moc"
