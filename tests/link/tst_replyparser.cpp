#include "link/ReplyParser.h"

#include <QtTest>

#include <climits>

Q_DECLARE_METATYPE(std::string)

class TestReplyParser : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data();
    void numbers();
    void codes_data();
    void codes();
    void versions_data();
    void versions();
    void angles_data();
    void angles();
};

void TestReplyParser::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("expected");
    QTest::newRow("three digits") << "$0320060901" << 7 << 3 << 90;
    QTest::newRow("stops at non-digit") << "12a45" << 0 << 5 << 12;
    QTest::newRow("leading blanks") << "  7" << 0 << 3 << 7;
    QTest::newRow("sign") << "-45" << 0 << 3 << -45;
    QTest::newRow("plus sign") << "+45" << 0 << 3 << 45;
    QTest::newRow("no digit") << "xx#" << 0 << 3 << 0;
    QTest::newRow("cut at end") << "$0312" << 3 << 3 << 12;
    QTest::newRow("starts beyond end") << "$03" << 9 << 3 << 0;
    QTest::newRow("starts exactly at end") << "$03" << 3 << 3 << 0;
    QTest::newRow("window stops the digits") << "1234567" << 0 << 3 << 123;
    QTest::newRow("huge saturates") << "99999999999999" << 0 << 14 << INT_MAX;
}

void TestReplyParser::numbers()
{
    QFETCH(QString, text);
    QFETCH(int, pos);
    QFETCH(int, length);
    QFETCH(int, expected);
    QCOMPARE(ReplyParser::ReadNumber(text.toStdString(), static_cast<size_t>(pos), static_cast<size_t>(length)),
             expected);
}

void TestReplyParser::codes_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("code");
    QTest::newRow("version") << "$010235#" << 1;
    QTest::newRow("angles") << "$0320..#" << 3;
    QTest::newRow("hex letter reads 0") << "$0A02ff#" << 0;
    QTest::newRow("hex letters after digit") << "$1C02#" << 1;
    QTest::newRow("too short") << "$" << 0;
    QTest::newRow("one character") << "$3" << 3;
}

void TestReplyParser::codes()
{
    QFETCH(QString, frame);
    QFETCH(int, code);
    QCOMPARE(ReplyParser::Code(frame.toStdString()), code);
}

void TestReplyParser::versions_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("text");
    QTest::newRow("digits") << "$010235#" << "V3.5";
    QTest::newRow("positions 5 and 6 only") << "$01xx12ab#" << "V1.2";
    QTest::newRow("letters read 0") << "$0102ab#" << "V0.0";
    QTest::newRow("short frame") << "$01#" << "V0.0";
    QTest::newRow("minor is the end mark") << "$01027#" << "V7.0";
}

void TestReplyParser::versions()
{
    QFETCH(QString, frame);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(ReplyParser::VersionText(frame.toStdString())), text);
}

void TestReplyParser::angles_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QList<int>>("angles");
    QTest::newRow("full reply") << "$032006090045120090110170xx#" << true << QList<int>{90, 45, 120, 90, 110, 170};
    QTest::newRow("garbage before the frame") << "zz$032006090045120090110170xx#" << true
                                              << QList<int>{90, 45, 120, 90, 110, 170};
    QTest::newRow("999 kept") << "$032006999000180090090090ab#" << true << QList<int>{999, 0, 180, 90, 90, 90};
    QTest::newRow("short frame reads checksum and end") << "$0320060901#" << true
                                                        << QList<int>{90, 1, 0, 0, 0, 0};
    QTest::newRow("non-numbers read 0") << "$032006abc12x-05 7 ....#" << true << QList<int>{0, 12, -5, 7, 0, 0};
    // An earlier unread frame of another code: the windows run on from its "$" past its "#".
    QTest::newRow("first frame wins") << "$01021#$032006001002003004005006x#" << true
                                      << QList<int>{0, 200, 600, 100, 200, 300};
    QTest::newRow("no end mark") << "$032006090045120090110170" << false << QList<int>{};
    QTest::newRow("end before start") << "#$032006090045120090110170" << false << QList<int>{};
    QTest::newRow("nothing") << "" << false << QList<int>{};
}

void TestReplyParser::angles()
{
    QFETCH(QString, text);
    QFETCH(bool, found);
    QFETCH(QList<int>, angles);
    const auto result = ReplyParser::JointAngles(text.toStdString());
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(QList<int>(result->begin(), result->end()), angles);
}

QTEST_GUILESS_MAIN(TestReplyParser)
#include "tst_replyparser.moc"
