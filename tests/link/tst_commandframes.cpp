// Frames out (built), frames in (cut from the byte stream) and the fields read from replies.
#include "link/CommandFrames.h"
#include "link/FrameAssembler.h"
#include "link/ReplyParser.h"

#include <QTest>

using namespace CommandFrames;

class TestCommandFrames : public QObject
{
    Q_OBJECT

private slots:
    void built()
    {
        // Frames the panel and dialog tests do not already pin down byte for byte.
        const std::pair<std::string, const char *> frames[] = {
            {SingleServo(3, 95), "$0407030956d#"},
            {AllServos({90, 90, 90, 90, 110, 180}, 500), "$05200609009009009011018005009d#"},
            {AllServos({90, 90, 90, 90, 90, 180}, 1000), "$05200609009009009009018010007d#"}, // the checksum wraps
            // %04d is a minimum width: a five-digit time is printed and summed whole.
            {AllServos({90, 90, 90, 90, 90, 180}, 12345), "$05200609009009009009018012345ce#"},
            // A negative field still leaves a two-digit checksum byte.
            {AllServos({0, 0, 0, 0, 0, 0}, -5), "$052006000000000000000000-0051a#"},
            {WriteServoId(5), "$0602050d#"},
            {RunAction(9), "$08020913#"},
            {SetMedian(3), "$0A02030f#"},
            {RestoreMedians(), "$0A02000c#"},
            {Threshold(232), "$1403232ff#"}, // the last before the wrap
            {Threshold(233), "$140323300#"},
            {ColourSorting(false, "12"), "$0D060120016#"},
            {ColourStacking(true, "44445"), "$0E061444425#"}};
        for (const auto &[built, expected] : frames)
            QCOMPARE(QString::fromStdString(built), QString::fromLatin1(expected));
    }

    void assembled_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("frames");
        const QByteArray body79(79, 'x'), body80(80, 'x');
        QTest::newRow("stray hash dropped, dollar inside is ordinary") << QByteArray("##$ab$cd#") << QStringList{"$ab$cd#"};
        QTest::newRow("81 with hash is a frame") << "$" + body79 + "#" << QStringList{QString("$" + body79 + "#")};
        QTest::newRow("81 without hash abandoned") << "$" + body80 + "#$ok#" << QStringList{"$ok#"};
        QTest::newRow("abandoned then next dollar") << "$" + body80 + "junk$ok#" << QStringList{"$ok#"};
        QTest::newRow("unterminated") << QByteArray("$0302") << QStringList{};
    }
    void assembled()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, frames);
        QStringList got;
        FrameAssembler assembler([&](const std::string &f) { got << QString::fromStdString(f); });
        int completed = 0;
        for (char c : input)
            completed += assembler.Feed(c);
        QCOMPARE(got, frames);
        QCOMPARE(completed, frames.size());
        // Reset forgets a frame begun: what follows stands alone.
        assembler.Feed('$'), assembler.Feed('9'), assembler.Reset();
        for (char c : QByteArray("7#$8#"))
            assembler.Feed(c);
        QCOMPARE(got.mid(frames.size()), QStringList{"$8#"});
    }

    // Replies are read leniently: a field is its leading decimal number, cut at the text's end.
    void replies_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // code, version, then the angles or "none"
        QTest::newRow("version digits 5 and 6 only") << "$01xx12ab#" << "1 V1.2 0 0 0 0 0 0";
        QTest::newRow("hex code reads 0") << "$0A02ff#" << "0 V0.0 0 0 0 0 0 0";
        QTest::newRow("one character") << "$3" << "3 V0.0 none";
        QTest::newRow("garbage before") << "zz$032006999000180090090090ab#" << "0 V2.0 999 0 180 90 90 90";
        QTest::newRow("short frame reads the end") << "$0320060901#" << "3 V0.6 90 1 0 0 0 0";
        QTest::newRow("blanks, signs, letters") << "$032006abc12x-05 7 +4.#" << "3 V0.6 0 12 -5 7 4 0";
        // An earlier frame of another code: the windows run on from its "$" past its "#".
        QTest::newRow("first frame wins") << "$01021#$032006001002003004005006x#" << "1 V1.0 0 200 600 100 200 300";
        QTest::newRow("no end mark") << "$032006090045120090110170" << "3 V0.6 none";
        QTest::newRow("end before start") << "#$032006090045120090110170" << "0 V0.0 none";
    }
    void replies()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const std::string t = text.toStdString();
        QString got = QString::number(ReplyParser::Code(t)) + ' ' + QString::fromStdString(ReplyParser::VersionText(t));
        if (const auto angles = ReplyParser::JointAngles(t))
            for (int a : *angles)
                got += ' ' + QString::number(a);
        else
            got += " none";
        QCOMPARE(got, read);
    }
    void numbersSaturateAndStopAtTheEnd()
    {
        QCOMPARE(ReplyParser::ReadNumber("99999999999999", 0, 14), INT_MAX);
        QCOMPARE(ReplyParser::ReadNumber("-99999999999999", 0, 15), INT_MIN);
        QCOMPARE(ReplyParser::ReadNumber("$03", 2, 3), 3); // one character before the end
        QCOMPARE(ReplyParser::ReadNumber("$03", 3, 3), 0); // starts exactly at the end
    }
};

QTEST_GUILESS_MAIN(TestCommandFrames)
#include "tst_commandframes.moc"
