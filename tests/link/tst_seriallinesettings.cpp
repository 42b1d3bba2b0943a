#include "link/SerialLineSettings.h"

#include <QtTest>

class TestSerialLineSettings : public QObject
{
    Q_OBJECT

private slots:
    void modeTextIsThePanelsFormat();
    void appliesModeText_data();
    void appliesModeText();
};

void TestSerialLineSettings::modeTextIsThePanelsFormat()
{
    QCOMPARE(SerialLineSettings::ModeText(9600, 'N', 8, 1), std::string("baud=9600 parity=N data=8 stop=1"));
    QCOMPARE(SerialLineSettings::ModeText(115200, 'E', 7, 2), std::string("baud=115200 parity=E data=7 stop=2"));
}

void TestSerialLineSettings::appliesModeText_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<unsigned>("baud");
    QTest::addColumn<char>("parity");
    QTest::addColumn<unsigned>("dataBits");
    QTest::addColumn<unsigned>("stopBits");

    // Settings before each row: 4800 baud, odd parity, 6 data bits, 2 stop bits.
    QTest::newRow("panel") << "baud=9600 parity=N data=8 stop=1" << true << 9600u << 'N' << 8u << 1u;
    QTest::newRow("even seven two") << "baud=2400 parity=E data=7 stop=2" << true << 2400u << 'E' << 7u << 2u;
    QTest::newRow("lower-case parity, mark") << "baud=19200 parity=m data=8 stop=1" << true << 19200u << 'M' << 8u << 1u;
    QTest::newRow("space parity") << "parity=S" << true << 4800u << 'S' << 6u << 2u;
    QTest::newRow("keys in any order, extra blanks") << "  stop=1   baud=115200 data=5 " << true << 115200u << 'O' << 5u << 1u;
    QTest::newRow("upper-case keys") << "BAUD=300 Parity=N" << true << 300u << 'N' << 6u << 2u;
    QTest::newRow("empty changes nothing") << "" << true << 4800u << 'O' << 6u << 2u;
    QTest::newRow("unknown parity") << "baud=9600 parity=X data=8 stop=1" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("nine data bits") << "baud=9600 parity=N data=9 stop=1" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("four data bits") << "data=4" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("one and a half stop bits") << "stop=1.5" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("zero baud") << "baud=0" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("negative baud") << "baud=-9600" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("huge baud") << "baud=99999999999" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("unknown key") << "baud=9600 xon=on" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("no value") << "baud" << false << 4800u << 'O' << 6u << 2u;
    QTest::newRow("parity two letters") << "parity=NN" << false << 4800u << 'O' << 6u << 2u;
}

void TestSerialLineSettings::appliesModeText()
{
    QFETCH(QString, mode);
    QFETCH(bool, accepted);
    QFETCH(unsigned, baud);
    QFETCH(char, parity);
    QFETCH(unsigned, dataBits);
    QFETCH(unsigned, stopBits);

    SerialLineSettings settings;
    settings.baud = 4800;
    settings.parity = 'O';
    settings.dataBits = 6;
    settings.stopBits = 2;
    settings.eventChar = 'q';
    settings.rtsOn = true;

    QCOMPARE(settings.ApplyModeText(mode.toStdString()), accepted);
    QCOMPARE(settings.baud, baud);
    QCOMPARE(settings.parity, parity);
    QCOMPARE(settings.dataBits, dataBits);
    QCOMPARE(settings.stopBits, stopBits);
    // The mode text never touches what it does not name.
    QCOMPARE(settings.eventChar, 'q');
    QVERIFY(settings.rtsOn);
}

QTEST_GUILESS_MAIN(TestSerialLineSettings)
#include "tst_seriallinesettings.moc"
