// What an action group file may hold, what is refused with which message, and failed saves.
#include "panel/ActionGroupFile.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using Row = ActionGroupFile::Row;

namespace {

const QByteArray header = "korvane-action-group 1\n";
const QByteArray good = "90\t90\t90\t90\t110\t180\t1000";

Row row(const QString &interval, int servo5 = 110)
{
    return {{"90", "45", "0", "180", QString::number(servo5), "180"}, interval};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

class TestActionGroupFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("error"); // empty: accepted
        const QString fields = "Line 2: expected 7 fields separated by tabs (six angles and the interval), found %1.";
        const QString notWhole = "Line 2: the angle of servo %1 is not a whole number.";
        const QString range = "Line 2: the angle of servo %1 is outside 0-%2.";
        const QString utf8 = "Line 2: the text is not valid UTF-8.";
        const QByteArray angles = "1\t1\t1\t1\t1\t1\t";
        const QByteArray e32 = QString(32, QChar(0xe9)).toUtf8(); // 64 bytes, 32 characters
        const QByteArray robots32 = QString::fromUcs4(QList<char32_t>(32, 0x1F916).constData(), 32).toUtf8();
        QByteArray many = header;
        for (int i = 0; i < ActionGroupFile::MaxRows; ++i)
            many += good + '\n';

        QTest::newRow("header only") << QByteArray("korvane-action-group 1") << 0 << "";
        QTest::newRow("blank lines, CRLF, BOM") << "\xEF\xBB\xBF" + header + "\r\n" + good + "\r\n\n" + good + "\n" << 2 << "";
        QTest::newRow("slider ends") << header + "0\t0\t0\t0\t270\t0\t\n180\t180\t180\t180\t0\t180\t-5\n" << 2 << "";
        QTest::newRow("32 characters") << header + angles + e32 + "\n" + angles + robots32 << 2 << "";
        QTest::newRow("10000 rows") << many << 10000 << "";
        QTest::newRow("empty file") << QByteArray() << 0 << "Line 1: not an action group file (the first line must be \"korvane-action-group 1\").";
        QTest::newRow("newer version") << QByteArray("korvane-action-group 2\n") << 0 << "Line 1: version 2 of the format is not supported.";
        QTest::newRow("six fields") << header + "90\t90\t90\t90\t90\t90\n" << 0 << fields.arg(6);
        QTest::newRow("tab in interval") << header + good + "\t5\n" << 0 << fields.arg(8);
        QTest::newRow("letters") << header + "90\t9x\t90\t90\t90\t90\t1\n" << 0 << notWhole.arg(2);
        QTest::newRow("a sign alone") << header + "90\t90\t-\t90\t90\t90\t1\n" << 0 << notWhole.arg(3);
        QTest::newRow("servo 1 181") << header + "181\t90\t90\t90\t90\t90\t1\n" << 0 << range.arg(1).arg(180);
        QTest::newRow("servo 5 271") << header + "90\t90\t90\t90\t271\t90\t1\n" << 0 << range.arg(5).arg(270);
        QTest::newRow("negative") << header + "90\t-1\t90\t90\t90\t90\t1\n" << 0 << range.arg(2).arg(180);
        QTest::newRow("33 characters") << header + angles + e32 + "x" << 0 << "Line 2: the interval text is longer than 32 characters.";
        QTest::newRow("C0 control") << header + good + "\x01" << 0 << "Line 2: the interval text holds a control character.";
        QTest::newRow("invalid byte") << header + good + "\xff" << 0 << utf8;
        QTest::newRow("cut sequence") << header + good + "\xc3" << 0 << utf8;
        QTest::newRow("line numbers count blank lines")
            << header + good + "\n\n\n" + good + "\t" << 0 << QString(fields).replace("Line 2", "Line 5").arg(8);
        QTest::newRow("10001 rows") << many + good << 0 << "Line 10002: more than 10000 rows.";
        QTest::newRow("over 1 MB") << header + QByteArray(ActionGroupFile::MaxBytes, '\n') << 0 << "The file is larger than 1 MB.";
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rows);
        QFETCH(QString, error);
        const ActionGroupFile::ReadResult read = ActionGroupFile::Parse(bytes);
        QCOMPARE(read.error, error);
        QCOMPARE(read.rows.size(), rows);
    }
    void writeReadsBackExactly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("group.kvg");
        const QList<Row> rows{row("1000"), row("", 270), row(QString::fromUtf8("1 s 🤖"), 0)};
        QCOMPARE(ActionGroupFile::Write(path, rows), QString());
        QCOMPARE(contents(path), header + "90\t45\t0\t180\t110\t180\t1000\n90\t45\t0\t180\t270\t180\t\n"
                                          "90\t45\t0\t180\t0\t180\t1 s \xF0\x9F\xA4\x96\n");
        QCOMPARE(ActionGroupFile::Read(path).rows, rows);
    }
    void writeRefusesWhatWouldNotReadBack()
    {
        // The list can hold what a file may not (an angle reported past a slider's end, a pasted tab):
        // such a group is refused rather than saved as a file that cannot be opened again.
        QTemporaryDir dir;
        const QString path = dir.filePath("group.kvg");
        QCOMPARE(ActionGroupFile::Write(path, {row("1"), row("1", 300)}), "Row 1: the angle of servo 5 is outside 0-270.");
        QCOMPARE(ActionGroupFile::Write(path, {row("1\t2")}), "Row 0: the interval text holds a control character.");
        QCOMPARE(ActionGroupFile::Write(path, QList<Row>(ActionGroupFile::MaxRows + 1, row("1"))),
                 "The action group has more than 10000 rows.");
        QVERIFY(!QFile::exists(path));
    }
    void failedSaveKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("group.kvg");
        QCOMPARE(ActionGroupFile::Write(path, {row("1000")}), QString());
        const QByteArray before = contents(path);
        // A file-size limit stops the write part-way, as a full disk does.
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit small{4096, old.rlim_max};
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &small);
        const QString error = ActionGroupFile::Write(path, QList<Row>(5000, row("as long as an interval gets")));
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(error, "File too large.");
        QCOMPARE(contents(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"group.kvg"}); // no temporary left
    }
    void readRefusesPipesAndHugeFiles()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.kvg");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(ActionGroupFile::Read(fifo).error, "Not a regular file."); // without waiting for a writer
        // 1 MB is the most a file may hold.
        QFile file(dir.filePath("large.kvg"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(header + QByteArray(ActionGroupFile::MaxBytes - header.size(), '\n')));
        file.flush();
        QCOMPARE(ActionGroupFile::Read(file.fileName()).error, QString());
        QVERIFY(file.write("\n") && file.flush());
        QCOMPARE(ActionGroupFile::Read(file.fileName()).error, "The file is larger than 1 MB.");
    }
};

QTEST_GUILESS_MAIN(TestActionGroupFile)
#include "tst_actiongroupfile.moc"
