#include "tools/armsim/ArmSimOptions.h"

#include <QtTest>

class TestArmSimOptions : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
};

void TestArmSimOptions::accepted_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("video");
    QTest::addColumn<bool>("pty");
    QTest::addColumn<int>("com");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("log");
    QTest::newRow("defaults") << QStringList{} << "127.0.0.1" << 6000 << 6001 << false << 0 << "./config.ini"
                              << "1.0" << false;
    QTest::newRow("run.sh line") << QStringList{"--pty", "--com", "5", "--config", "./config.ini", "--log"}
                                 << "127.0.0.1" << 6000 << 6001 << true << 5 << "./config.ini" << "1.0" << true;
    QTest::newRow("com implies pty") << QStringList{"--com=12", "--config=/tmp/x.ini"} << "127.0.0.1" << 6000
                                     << 6001 << true << 12 << "/tmp/x.ini" << "1.0" << false;
    QTest::newRow("listen and video") << QStringList{"--listen", "0.0.0.0:7000", "--video", "7001"} << "0.0.0.0"
                                      << 7000 << 7001 << false << 0 << "./config.ini" << "1.0" << false;
    QTest::newRow("ipv6 and free ports") << QStringList{"--listen", "[::1]:0", "--video", "0"} << "::1" << 0 << 0
                                         << false << 0 << "./config.ini" << "1.0" << false;
    QTest::newRow("version") << QStringList{"--version", "1.7"} << "127.0.0.1" << 6000 << 6001 << false << 0
                             << "./config.ini" << "1.7" << false;
}

void TestArmSimOptions::accepted()
{
    QFETCH(QStringList, args);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, video);
    QFETCH(bool, pty);
    QFETCH(int, com);
    QFETCH(QString, config);
    QFETCH(QString, version);
    QFETCH(bool, log);
    ArmSimOptions o;
    QString error;
    QVERIFY2(ArmSimOptions::Parse(QStringList{"korvane-armsim"} + args, o, error), qPrintable(error));
    QCOMPARE(o.host, QHostAddress(host));
    QCOMPARE(int(o.port), port);
    QCOMPARE(int(o.videoPort), video);
    QCOMPARE(o.pty, pty);
    QCOMPARE(o.com, com);
    QCOMPARE(o.config, config);
    QCOMPARE(QStringLiteral("%1.%2").arg(o.major).arg(o.minor), version);
    QCOMPARE(o.log, log);
    QVERIFY(!o.help);
}

void TestArmSimOptions::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--fast"} << "unknown option";
    QTest::newRow("listen without port") << QStringList{"--listen", "127.0.0.1"} << "HOST:PORT";
    QTest::newRow("listen with a name") << QStringList{"--listen", "localhost:6000"} << "HOST:PORT";
    QTest::newRow("port too large") << QStringList{"--listen", "127.0.0.1:70000"} << "HOST:PORT";
    QTest::newRow("video not a number") << QStringList{"--video", "six"} << "--video";
    QTest::newRow("missing value") << QStringList{"--video"} << "needs a value";
    QTest::newRow("com zero") << QStringList{"--com", "0"} << "--com";
    QTest::newRow("com text") << QStringList{"--com", "COM5"} << "--com";
    QTest::newRow("version two digits") << QStringList{"--version", "10.1"} << "--version";
    QTest::newRow("version without dot") << QStringList{"--version", "12"} << "--version";
    QTest::newRow("same ports") << QStringList{"--listen", "127.0.0.1:7000", "--video", "7000"} << "differ";
    QTest::newRow("empty config") << QStringList{"--config", ""} << "--config";
}

void TestArmSimOptions::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    ArmSimOptions o;
    QString error;
    QVERIFY(!ArmSimOptions::Parse(QStringList{"korvane-armsim"} + args, o, error));
    QVERIFY2(error.contains(message), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestArmSimOptions)
#include "tst_armsimoptions.moc"
