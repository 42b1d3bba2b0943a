// The connection dialog: what it shows from ./config.ini, what Connect writes back (and to the
// viewer's ./Video/config.ini), and what it refuses.
#include "panel/CDengluDlg.h"
#include "panel/DialogUnits.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray slurp(const QString &path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)"); }
void put(const QString &path, const QByteArray &text) { QFile f(path); QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text) == text.size()); }
ino_t inodeOf(const char *path) { struct stat st {}; return ::stat(path, &st) == 0 ? st.st_ino : 0; }
void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

} // namespace

class TestDengluDlg : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Every case starts in an empty folder of its own: no ./config.ini, no ./Video.
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        m_messages.clear(), m_startups.clear(), m_listings = 0;
    }
    void dialogUnitsRoundCornerByCorner()
    {
        // Each corner is rounded half away from zero on its own, so equal widths can differ in pixels.
        QCOMPARE(DialogUnits(6, 13).map(14, 11, 65, 8), QRect(21, 18, 98, 13));
        QCOMPARE(DialogUnits(7, 16).map(192, 45, 28, 14), QRect(336, 90, 49, 28));
        QCOMPARE(DialogUnits(5, 13).mapSize(240, 197), QSize(300, 320));
    }
    void initialisesFromConfig_data()
    {
        // checked: the method buttons, "network", "serial" or "none"; fields: mode, address, port, video, port list, baud list.
        QTest::addColumn<QByteArray>("config"), QTest::addColumn<QList<int>>("ports"), QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("fields"), QTest::addColumn<int>("listings");
        const QList<int> one{1}, two{1, 3};
        QTest::newRow("no file") << QByteArray() << two << "serial" << "1 192.168.4.1 6000 6001 COM1 9600" << 1;
        QTest::newRow("network stored") << QByteArray("[connect_info]\nmode=0\nip=10.0.0.5\nport=7000\nvideo=7001\ncom=3\nbaud=115200\n") << two << "network"
                                        << "0 10.0.0.5 7000 7001  " << 0;
        QTest::newRow("serial COM3 at 115200") << QByteArray("[connect_info]\nmode=1\ncom=3\nbaud=115200\n") << two << "serial" << "1 192.168.4.1 6000 6001 COM3 115200" << 1;
        QTest::newRow("first baud rate") << QByteArray("[connect_info]\nbaud=2400\n") << one << "serial" << "1 192.168.4.1 6000 6001 COM1 2400" << 1;
        QTest::newRow("baud not offered") << QByteArray("[connect_info]\nbaud=4800\n") << one << "serial" << "1 192.168.4.1 6000 6001 COM1 9600" << 1;
        QTest::newRow("unknown method") << QByteArray("[connect_info]\nmode=2\n") << one << "none" << "2 192.168.4.1 6000 6001  " << 0;
    }
    void initialisesFromConfig()
    {
        QFETCH(QByteArray, config); QFETCH(QList<int>, ports); QFETCH(QString, checked); QFETCH(QString, fields); QFETCH(int, listings);
        auto dlg = makeDialog(ports, config);
        auto edit = [&](int id) { return ctl<QLineEdit>(*dlg, id)->text(); };
        auto combo = [&](int id) { return ctl<QComboBox>(*dlg, id)->currentText(); };
        QCOMPARE(QStringList({QString::number(dlg->m_mode), edit(CDengluDlg::IDC_EDIT_ADDR), edit(CDengluDlg::IDC_EDIT_PORT), edit(CDengluDlg::IDC_EDIT_VIDEO),
                              combo(CDengluDlg::IDC_COMBO_PORT), combo(CDengluDlg::IDC_COMBO_BAUD)}).join(' '), fields);
        auto on = [&](int id) { return dlg->Control(id)->isEnabled(); };
        auto ticked = [&](int id) { return ctl<QRadioButton>(*dlg, id)->isChecked(); };
        QVERIFY(ticked(CDengluDlg::IDC_RADIO_NETWORK) == (checked == "network") && ticked(CDengluDlg::IDC_RADIO_SERIAL) == (checked == "serial"));
        // One side of the dialog is enabled, or both while the stored method is neither.
        QVERIFY(on(CDengluDlg::IDC_EDIT_VIDEO) == (checked != "serial") && on(CDengluDlg::IDC_COMBO_BAUD) == (checked != "network"));
        QCOMPARE(m_listings, listings);
        // Switching the method enables the other side.
        click(dlg->Control(checked == "serial" ? CDengluDlg::IDC_RADIO_NETWORK : CDengluDlg::IDC_RADIO_SERIAL));
        QCOMPARE(dlg->m_mode, checked == "serial" ? 0 : 1);
        QVERIFY(on(CDengluDlg::IDC_EDIT_ADDR) == (checked == "serial") && on(CDengluDlg::IDC_COMBO_PORT) == (checked != "serial") && m_messages.isEmpty());
    }
    void portListFilledOnDropDown()
    {
        auto dlg = makeDialog({257, 12, 2, 0, 256, 1, 2}, "[connect_info]\nmode=0\n");
        QVERIFY(!dlg->Control(2) && ctl<QPushButton>(*dlg, CDengluDlg::IDOK)->isDefault()); // no Cancel button
        for (QWidget *w : dlg->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) // named for assistive tools
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        auto *portList = ctl<QComboBox>(*dlg, CDengluDlg::IDC_COMBO_PORT);
        click(dlg->Control(CDengluDlg::IDC_RADIO_SERIAL));
        QCOMPARE(m_listings, 0); // switching does not list the ports
        portList->showPopup(), portList->hidePopup();
        // In COM-number order, each once, only numbers a COM name can have; the device as tooltip.
        QStringList items;
        for (int i = 0; i < portList->count(); ++i)
            items << portList->itemText(i);
        QCOMPARE(items, (QStringList{"COM1", "COM2", "COM12", "COM256"}));
        QVERIFY(portList->itemData(2, Qt::ToolTipRole).toString() == "/dev/ttyUSB11" && portList->currentIndex() == -1);
        // Choosing one takes its number; each drop-down lists afresh and clears the choice.
        QTest::keyClick(portList, Qt::Key_Down), QTest::keyClick(portList, Qt::Key_Down);
        QCOMPARE(dlg->m_comNumber, 2);
        portList->showPopup(), portList->hidePopup();
        QVERIFY(m_listings == 2 && portList->currentText().isEmpty());
        // Nothing found: the list is disabled.
        dlg->SetPortLister([] { return std::vector<CDengluDlg::ListedPort>{}; });
        portList->showPopup();
        QVERIFY(portList->count() == 0 && !portList->isEnabled());
    }
    void serialConnect_data()
    {
        // The port and baud texts are typed over the selection when not empty; nothing written: the dialog stays open.
        QTest::addColumn<QByteArray>("config"), QTest::addColumn<QList<int>>("ports"), QTest::addColumn<QString>("portText");
        QTest::addColumn<QString>("baudText"), QTest::addColumn<QByteArray>("written"), QTest::addColumn<QString>("message");
        QTest::newRow("fresh") << QByteArray() << QList<int>{1} << "" << "" << QByteArray("[connect_info]\ncom=1\nbaud=9600\nmode=1\n") << "";
        QTest::newRow("keeps network settings") << QByteArray("[connect_info]\nmode=0\nip=10.0.0.5\nport=oops\n[video_addr]\naddr=x\n") << QList<int>{1, 3}
            << "COM3" << "115200" << QByteArray("[connect_info]\nmode=1\nip=10.0.0.5\nport=oops\ncom=3\nbaud=115200\n[video_addr]\naddr=x\n") << "";
        QTest::newRow("short text gives 0") << QByteArray() << QList<int>{1} << "12" << "2400" << QByteArray("[connect_info]\ncom=0\nbaud=2400\nmode=1\n") << "";
        QTest::newRow("no port selected") << QByteArray() << QList<int>{2} << "" << "9600" << QByteArray() << CDengluDlg::SelectPortText;
        QTest::newRow("no baud") << QByteArray() << QList<int>{1} << "" << "-" << QByteArray() << CDengluDlg::SelectBaudText;
    }
    void serialConnect()
    {
        QFETCH(QByteArray, config); QFETCH(QList<int>, ports); QFETCH(QString, portText); QFETCH(QString, baudText); QFETCH(QByteArray, written);
        QFETCH(QString, message);
        auto dlg = makeDialog(ports, config);
        click(dlg->Control(CDengluDlg::IDC_RADIO_SERIAL));
        ctl<QLineEdit>(*dlg, CDengluDlg::IDC_EDIT_PORT)->setText(QStringLiteral("oops")); // the other side's: not checked
        if (!portText.isEmpty()) ctl<QComboBox>(*dlg, CDengluDlg::IDC_COMBO_PORT)->setEditText(portText);
        if (!baudText.isEmpty()) ctl<QComboBox>(*dlg, CDengluDlg::IDC_COMBO_BAUD)->setEditText(baudText == "-" ? QString() : baudText);
        click(dlg->Control(CDengluDlg::IDOK));
        QCOMPARE(m_messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(dlg->isVisible(), written.isEmpty());
        QCOMPARE(slurp(QStringLiteral("config.ini")), written.isEmpty() ? (config.isEmpty() ? QByteArray("(missing)") : config) : written);
        const int com = written.mid(written.indexOf("com=") + 4).split('\n').first().toInt();
        QVERIFY(written.isEmpty() || (dlg->result() == CDengluDlg::IDOK && dlg->m_mode == 1 && dlg->m_comNumber == com));
        QVERIFY(m_startups.isEmpty() && !QFileInfo::exists(QStringLiteral("Video")));
    }
    void networkConnect_data()
    {
        // A video config of "-": no Video folder at all; empty video after: left as it was, not rewritten.
        QTest::addColumn<QByteArray>("videoConfig"), QTest::addColumn<QString>("host"), QTest::addColumn<QByteArray>("videoAfter");
        const QByteArray fresh = "[video_addr]\naddr=http://10.1.2.3:7001\n";
        QTest::newRow("no Video folder") << QByteArray("-") << "10.1.2.3" << fresh;
        QTest::newRow("same address") << QByteArray("; viewer\r\n[video_addr]\r\naddr=http://10.1.2.3:7001\r\n") << "10.1.2.3" << QByteArray();
        QTest::newRow("other address") << QByteArray("[video_addr]\naddr=http://10.1.2.3:6001\n[window]\nx=4\n") << "10.1.2.3"
                                       << QByteArray("[video_addr]\naddr=http://10.1.2.3:7001\n[window]\nx=4\n");
        QTest::newRow("case differs") << QByteArray("[video_addr]\naddr=HTTP://10.1.2.3:7001\n") << "10.1.2.3" << fresh;
        // An IPv6 zone index holds a "%2" that must stay as typed.
        QTest::newRow("zone index in the host") << QByteArray() << "fe80::1%2" << QByteArray("[video_addr]\naddr=http://fe80::1%2:7001\n");
    }
    void networkConnect()
    {
        QFETCH(QByteArray, videoConfig); QFETCH(QString, host); QFETCH(QByteArray, videoAfter);
        if (videoConfig != "-" && QDir().mkpath(QStringLiteral("Video")) && !videoConfig.isEmpty())
            put(QStringLiteral("Video/config.ini"), videoConfig);
        const ino_t before = inodeOf("Video/config.ini");
        auto dlg = makeDialog({1, 3}, "[connect_info]\nmode=1\ncom=5\nbaud=19200\n[com_ports]\nCOM5=/dev/pts/9\n");
        dlg->m_videoAddrChanged = videoAfter.isEmpty() ? 1 : 0; // set either way
        click(dlg->Control(CDengluDlg::IDC_RADIO_NETWORK));
        for (const auto &[id, text] : {std::pair{CDengluDlg::IDC_EDIT_ADDR, host}, {CDengluDlg::IDC_EDIT_PORT, "7000"}, {CDengluDlg::IDC_EDIT_VIDEO, "7001"}})
            ctl<QLineEdit>(*dlg, id)->setText(text);
        click(dlg->Control(CDengluDlg::IDOK));
        QVERIFY(dlg->result() == CDengluDlg::IDOK && dlg->m_mode == 0 && dlg->m_addr == host && dlg->m_port == 7000 && dlg->m_video == 7001);
        QCOMPARE(dlg->m_videoAddrChanged, videoAfter.isEmpty() ? 0 : 1);
        // Existing keys change in place, new ones follow in the order written; serial keys stay.
        QCOMPARE(slurp(QStringLiteral("config.ini")), "[connect_info]\nmode=0\ncom=5\nbaud=19200\nip=" + host.toUtf8() + "\nport=7000\nvideo=7001\n"
                                                      "[com_ports]\nCOM5=/dev/pts/9\n[video_addr]\naddr=http://" + host.toUtf8() + ":7001\n");
        QCOMPARE(slurp(QStringLiteral("Video/config.ini")), videoAfter.isEmpty() ? videoConfig : videoAfter);
        QVERIFY(!videoAfter.isEmpty() || inodeOf("Video/config.ini") == before); // not even rewritten
        QVERIFY(m_startups == QStringList{"http://" + host + ":7001/init"} && m_messages.isEmpty());
    }
    void networkConnectStaysOnABadPort()
    {
        auto dlg = makeDialog({1, 3}, "[connect_info]\nmode=0\nport=6000\n");
        auto *port = ctl<QLineEdit>(*dlg, CDengluDlg::IDC_EDIT_PORT);
        port->setText(QStringLiteral("60a0")), ctl<QLineEdit>(*dlg, CDengluDlg::IDC_EDIT_ADDR)->setText(QStringLiteral("10.9.9.9"));
        click(dlg->Control(CDengluDlg::IDOK));
        QCOMPARE(m_messages, QStringList{CDengluDlg::IntegerPromptText});
        QVERIFY(dlg->isVisible() && dlg->m_port == 6000 && slurp(QStringLiteral("config.ini")).endsWith("port=6000\n"));
        // Corrected (blanks around a number are fine), Connect goes through.
        port->setText(QStringLiteral(" 6500 ")), click(dlg->Control(CDengluDlg::IDOK));
        QVERIFY(dlg->result() == CDengluDlg::IDOK && dlg->m_port == 6500);
        QCOMPARE(m_startups, QStringList{QStringLiteral("http://10.9.9.9:6001/init")});
    }
    void startupAddressRequestedOnce()
    {
        QTcpServer camera;
        QVERIFY(camera.listen(QHostAddress::LocalHost));
        QList<QByteArray> requests;
        connect(&camera, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *client = camera.nextPendingConnection())
                connect(client, &QTcpSocket::readyRead, this, [&requests, client] {
                    const QByteArray head = client->readAll();
                    requests << head.left(head.indexOf("\r\n"));
                    client->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"), client->disconnectFromHost();
                });
        });
        put(QStringLiteral("config.ini"), "[connect_info]\nmode=0\nip=127.0.0.1\nvideo=" + QByteArray::number(camera.serverPort()) + "\n");
        CDengluDlg dlg; // the real request, not the test's stand-in
        dlg.show(), click(dlg.Control(CDengluDlg::IDOK));
        QTRY_COMPARE(requests.size(), 1);
        // A request of our own as the last one: any repeat of the dialog's would have come before it.
        QTcpSocket sentinel;
        sentinel.connectToHost(QHostAddress::LocalHost, camera.serverPort()), sentinel.write("GET /sentinel HTTP/1.1\r\n\r\n");
        QTRY_COMPARE(requests, QList<QByteArray>({"GET /init HTTP/1.1", "GET /sentinel HTTP/1.1"}));
    }
    void cancelWritesNothing()
    {
        for (const bool escape : {true, false}) {
            auto dlg = makeDialog({1});
            click(dlg->Control(CDengluDlg::IDC_RADIO_NETWORK));
            escape ? QTest::keyClick(dlg->Control(CDengluDlg::IDC_EDIT_ADDR), Qt::Key_Escape) : void(dlg->close()); // or the close box
            QVERIFY(!dlg->isVisible() && dlg->result() == CDengluDlg::IDCANCEL);
        }
        QCOMPARE(QDir(QStringLiteral(".")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

private:
    // A shown dialog over ./config.ini (written first when given), listing the ports, its messages and requests recorded.
    std::unique_ptr<CDengluDlg> makeDialog(const QList<int> &ports = {1, 3}, const QByteArray &config = {})
    {
        if (!config.isEmpty())
            put(QStringLiteral("config.ini"), config);
        auto dlg = std::make_unique<CDengluDlg>();
        dlg->SetPortLister([this, ports] {
            ++m_listings;
            std::vector<CDengluDlg::ListedPort> listed;
            for (int n : ports)
                listed.push_back({n, QStringLiteral("/dev/ttyUSB%1").arg(n - 1)});
            return listed;
        });
        dlg->SetMessageHook([this](const QString &text) { m_messages << text; }), dlg->SetStartupRequest([this](const QString &url) { m_startups << url; });
        dlg->show();
        return dlg;
    }
    template <typename T>
    T *ctl(CDengluDlg &dlg, int id) { return static_cast<T *>(dlg.Control(id)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_messages, m_startups;
    int m_listings = 0;
};

QTEST_MAIN(TestDengluDlg)
#include "tst_dengludlg.moc"
