#include "link/SerialLineSettings.h"

#include <QtTest>

class TestSerialLineSettings : public QObject
{
    Q_OBJECT

private slots:
    void modeTextIsThePanelsFormat()
    {
        QCOMPARE(SerialLineSettings::ModeText(9600, 'N', 8, 1), std::string("baud=9600 parity=N data=8 stop=1"));
        QCOMPARE(SerialLineSettings::ModeText(115200, 'E', 7, 2), std::string("baud=115200 parity=E data=7 stop=2"));
    }

    void appliesModeText_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("result"); // baud, parity, data and stop bits after it

        // Settings before each row: 4800 O 6 2; a refused text leaves them all as they were.
        QTest::newRow("panel") << "baud=9600 parity=N data=8 stop=1" << "9600 N 8 1";
        QTest::newRow("even seven two") << "baud=2400 parity=E data=7 stop=2" << "2400 E 7 2";
        QTest::newRow("lower-case parity, mark") << "baud=19200 parity=m data=8 stop=1" << "19200 M 8 1";
        QTest::newRow("space parity") << "parity=S" << "4800 S 6 2";
        QTest::newRow("keys in any order, extra blanks") << "  stop=1   baud=115200 data=5 " << "115200 O 5 1";
        QTest::newRow("upper-case keys") << "BAUD=300 Parity=N" << "300 N 6 2";
        QTest::newRow("rate without a B-constant") << "baud=250000" << "250000 O 6 2";
        QTest::newRow("empty changes nothing") << "" << "4800 O 6 2";
        const char *refused[] = {"baud=9600 parity=X data=8 stop=1", "baud=9600 parity=N data=9 stop=1", "data=4",
                                 "stop=1.5", "baud=0", "baud=-9600", "baud=99999999999", "baud=", "baud=96OO",
                                 "baud=9600 xon=on", "baud", "parity=NN"};
        for (const char *mode : refused)
            QTest::addRow("refused: %s", mode) << mode << "refused";
    }
    void appliesModeText()
    {
        QFETCH(QString, mode);
        QFETCH(QString, result);

        SerialLineSettings settings;
        settings.baud = 4800;
        settings.parity = 'O';
        settings.dataBits = 6;
        settings.stopBits = 2;
        settings.eventChar = 'q';
        settings.rtsOn = true;
        const SerialLineSettings before = settings;

        const bool accepted = result != "refused";
        QCOMPARE(settings.ApplyModeText(mode.toStdString()), accepted);
        QCOMPARE(QString("%1 %2 %3 %4").arg(settings.baud).arg(settings.parity).arg(settings.dataBits).arg(settings.stopBits),
                 accepted ? result : "4800 O 6 2");
        // The mode text never touches what it does not name.
        QCOMPARE(settings.eventChar, before.eventChar);
        QCOMPARE(settings.rtsOn, before.rtsOn);
    }
};

QTEST_GUILESS_MAIN(TestSerialLineSettings)
#include "tst_seriallinesettings.moc"
