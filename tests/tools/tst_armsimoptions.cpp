#include "tools/armsim/ArmSimOptions.h"

#include <QTest>

class TestArmSimOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

// "expected" is either the parsed options in one line or, after '!', part of the error.
void TestArmSimOptions::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("defaults") << QStringList{} << "127.0.0.1:6000 6001 pty=0 com=0 ./config.ini 1.0 log=0";
    QTest::newRow("run.sh line") << QStringList{"--pty", "--com", "5", "--config", "./config.ini", "--log"}
                                 << "127.0.0.1:6000 6001 pty=1 com=5 ./config.ini 1.0 log=1";
    QTest::newRow("com implies pty") << QStringList{"--com=12", "--config=/tmp/x.ini", "--version", "1.7"}
                                     << "127.0.0.1:6000 6001 pty=1 com=12 /tmp/x.ini 1.7 log=0";
    QTest::newRow("ipv6 and free ports") << QStringList{"--listen", "[::1]:0", "--video", "0"}
                                         << "::1:0 0 pty=0 com=0 ./config.ini 1.0 log=0";
    QTest::newRow("unknown option") << QStringList{"--fast"} << "!unknown option";
    QTest::newRow("listen with a name") << QStringList{"--listen", "localhost:6000"} << "!HOST:PORT";
    QTest::newRow("port too large") << QStringList{"--listen", "127.0.0.1:70000"} << "!HOST:PORT";
    QTest::newRow("missing value") << QStringList{"--video"} << "!needs a value";
    QTest::newRow("com zero") << QStringList{"--com", "0"} << "!--com";
    QTest::newRow("version two digits") << QStringList{"--version", "10.1"} << "!--version";
    QTest::newRow("version without dot") << QStringList{"--version", "12"} << "!--version";
    QTest::newRow("same ports") << QStringList{"--listen", "127.0.0.1:7000", "--video", "7000"} << "!differ";
}

void TestArmSimOptions::parse()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    ArmSimOptions o;
    QString error;
    const bool ok = ArmSimOptions::Parse(QStringList{"korvane-armsim"} + args, o, error);
    if (expected.startsWith(QLatin1Char('!'))) {
        QVERIFY(!ok);
        QVERIFY2(error.contains(expected.mid(1)), qPrintable(error));
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(QStringLiteral("%1:%2 %3 pty=%4 com=%5 %6 %7.%8 log=%9")
                 .arg(o.host.toString())
                 .arg(o.port)
                 .arg(o.videoPort)
                 .arg(int(o.pty))
                 .arg(o.com)
                 .arg(o.config)
                 .arg(o.major)
                 .arg(o.minor)
                 .arg(int(o.log)),
             expected);
}

QTEST_GUILESS_MAIN(TestArmSimOptions)
#include "tst_armsimoptions.moc"
