#include "link/CommandFrames.h"
#include "link/PrivateProfile.h"

#include <QProcess>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <unistd.h>

constexpr int WaitMs = 20000;

// The program as run.sh starts it: command line, start-up lines, the COM entry, the end by a signal.
class TestArmSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void servesAndCleansUpOnSignal_data();
    void servesAndCleansUpOnSignal();
};

void TestArmSimProcess::servesAndCleansUpOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestArmSimProcess::servesAndCleansUpOnSignal()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    const QString config = dir.filePath("config.ini");
    QVERIFY(PrivateProfile::WriteString(config.toStdString(), "connect_info", "mode", "1"));

    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(KORVANE_ARMSIM_PATH), {"--pty", "--com", "5", "--config", "./config.ini", "--listen", "127.0.0.1:0", "--video",
                        "0", "--log"});
    QVERIFY(p.waitForStarted(WaitMs));
    QByteArray out;
    QVERIFY(QTest::qWaitFor([&] { out += p.readAllStandardOutput(); return out.contains("\ncom COM5"); }, WaitMs));
    QString pty;
    quint16 port = 0;
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("pty "))
            pty = QString::fromLocal8Bit(line.mid(4));
        if (line.startsWith("tcp 127.0.0.1:"))
            port = quint16(line.mid(14).toUInt());
    }
    QVERIFY(pty.startsWith(QLatin1String("/dev/pts/")));
    QVERIFY(port != 0);
    QCOMPARE(QString::fromStdString(PrivateProfile::GetString(config.toStdString(), "com_ports", "COM5", "")), pty);

    QTcpSocket tcp;
    tcp.connectToHost(QHostAddress::LocalHost, port);
    QByteArray got;
    QVERIFY(QTest::qWaitFor([&] { got += tcp.readAll(); return got.size() >= 10; }, WaitMs));
    QCOMPARE(got, QByteArray("$01021004#"));
    const std::string frame = CommandFrames::SingleServo(3, 95);
    tcp.write(frame.data(), qint64(frame.size()));
    QVERIFY(QTest::qWaitFor([&] { out += p.readAllStandardOutput(); return out.contains("rx 04 servo=3 angle=95"); },
                            WaitMs));

    ::kill(pid_t(p.processId()), signalNumber);
    QVERIFY(p.waitForFinished(WaitMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(PrivateProfile::GetString(config.toStdString(), "com_ports", "COM5", "gone"), std::string("gone"));
    QCOMPARE(PrivateProfile::GetString(config.toStdString(), "connect_info", "mode", ""), std::string("1"));
}

QTEST_GUILESS_MAIN(TestArmSimProcess)
#include "tst_armsimprocess.moc"
