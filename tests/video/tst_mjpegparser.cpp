#include "tools/videoviewer/MjpegStreamParser.h"

#include <QtTest>

namespace {

const std::string Head = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n\r\n";

std::string part(const std::string &body, bool withLength = true, const std::string &delimiter = "--frame")
{
    const std::string length = withLength ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "";
    return delimiter + "\r\nContent-Type: image/jpeg\r\n" + length + "\r\n" + body + "\r\n";
}

// A picture-like body of binary bytes, CR/LF pairs and dashes: only the framing can find its end.
std::string body(int seed, size_t size = 300)
{
    std::string b = "\xFF\xD8";
    for (int i = 0; b.size() < size - 2; ++i)
        b += (i % 37 ? std::string(1, char((seed * 131 + i * 7) & 0xFF)) : std::string("\r\n--"));
    return b + "\xFF\xD9";
}

QByteArray bytes(const std::string &s) { return QByteArray(s.data(), qsizetype(s.size())); }

struct Collected
{
    QList<QByteArray> parts;
    MjpegStreamParser parser;
    explicit Collected(MjpegStreamParser::Limits limits = {})
        : parser([this](std::string_view b) { parts << QByteArray(b.data(), qsizetype(b.size())); }, limits)
    {
    }
    bool feed(const std::string &data, size_t chunk)
    {
        bool ok = true;
        for (size_t i = 0; i < data.size(); i += chunk)
            ok = parser.Feed(std::string_view(data).substr(i, chunk));
        return ok;
    }
};

} // namespace

class TestMjpegParser : public QObject
{
    Q_OBJECT

private slots:
    void splitsParts_data();
    void splitsParts();
    void damagedPartsAreSkippedWithBoundedMemory();
    void httpFailures_data();
    void httpFailures();
};

void TestMjpegParser::splitsParts_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");
    const std::string a = body(1), b = body(2, 1000), c = body(3, 40);
    const QList<QByteArray> abc{bytes(a), bytes(b), bytes(c)}, ab{bytes(a), bytes(b)};
    const auto head = [](const std::string &params) {
        return "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace" + params + "\r\n\r\n";
    };
    QTest::newRow("mixed lengths") << bytes(Head + part(a) + part(b, false) + part(c) + "--frame\r\n") << abc;
    QTest::newRow("bare LF lines")
        << bytes("HTTP/1.1 200 OK\nContent-Type: multipart/x-mixed-replace;boundary=frame\n\n--frame\n"
                 "Content-Length: 3\n\nabc\n--frame\nContent-Length: 2\n\nde\n")
        << QList<QByteArray>{"abc", "de"};
    QTest::newRow("quoted boundary after another parameter")
        << bytes(head("; charset=x; BOUNDARY=\"my f\"") + part(a, true, "--my f") + part(b, false, "--my f") + "--my f\r\n")
        << ab;
    QTest::newRow("boundary declared with dashes")
        << bytes(head("; boundary=--xyz") + part(a, false, "--xyz") + part(b, false, "----xyz") + part(c, true, "--xyz")
                 + "--xyz\r\n")
        << abc;
    QTest::newRow("boundary learnt from body") << bytes(head("; xboundary=y") + part(a) + part(b, false) + "--frame\r\n") << ab;
    QTest::newRow("no HTTP head") << bytes(part(a) + part(b)) << ab;
    QTest::newRow("preamble, extra headers, part without headers, short length")
        << bytes(Head + "preamble\r\n--frame\r\nX-Timestamp: 12\r\nContent-length:  5 \r\n\r\nhello\r\n--frame\r\n" + a
                 + "\r\n--frame\r\n\r\nxy\r\n--frame\r\nContent-Length: 4\r\n\r\nabcdefgh\r\n" + part(c))
        << QList<QByteArray>{"hello", bytes(a), "xy", "abcd", bytes(c)};
    QTest::newRow("closing delimiter ends the stream") << bytes(Head + part("one") + "--frame--\r\n" + part("two"))
                                                       << QList<QByteArray>{"one"};
}

// Fed whole and in pieces small enough to split the boundary, the headers and the bodies.
void TestMjpegParser::splitsParts()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, expected);
    for (size_t chunk : {1, 2, 5, 13, 64, 100000}) {
        Collected c;
        QVERIFY(c.feed(stream.toStdString(), chunk));
        QCOMPARE(c.parts, expected);
        QCOMPARE(c.parser.PartsRefused(), size_t(0));
    }
}

// Oversized parts (declared or not), endless headers and noise are skipped within bounded memory,
// and the next good part still comes through.
void TestMjpegParser::damagedPartsAreSkippedWithBoundedMemory()
{
    MjpegStreamParser::Limits limits;
    limits.maxPartBytes = 4096;
    limits.maxHeadBytes = 256;
    Collected c(limits);
    const std::string good = body(5);
    const std::string stream = Head + "--frame\r\nContent-Length: 50000000\r\n\r\n" + std::string(3000, 'x') + "\r\n"
                               + "--frame\r\nContent-Length: 4097\r\n\r\n" + std::string(4097, 'z') + "\r\n"
                               + "--frame\r\nContent-Length: 4096\r\n\r\n" + std::string(4096, 'w') + "\r\n"
                               // An unparsable length: taken up to the boundary.
                               + "--frame\r\nContent-Length: 99999999999999999999999999\r\n\r\n" + std::string(10, 'y')
                               + "\r\n" + "--frame\r\nContent-Type: image/jpeg" + std::string(2000, 'h') + "\r\n"
                               + std::string(500, '\0') + part(good) + "--frame\r\nContent-Type: image/jpeg\r\n\r\n"
                               + std::string(200000, '\x55');
    size_t maxBuffered = 0;
    for (size_t i = 0; i < stream.size(); i += 1000) {
        QVERIFY(c.parser.Feed(std::string_view(stream).substr(i, 1000)));
        maxBuffered = std::max(maxBuffered, c.parser.BufferedBytes());
    }
    QCOMPARE(c.parser.PartsRefused(), size_t(4));
    QCOMPARE(c.parts, (QList<QByteArray>{QByteArray(4096, 'w'), QByteArray(10, 'y'), bytes(good)}));
    QVERIFY2(maxBuffered <= limits.maxPartBytes + 1000, qPrintable(QString::number(maxBuffered)));
    QVERIFY(c.parser.Feed("\r\n" + part("again")));
    QCOMPARE(c.parts.back(), "again");
}

void TestMjpegParser::httpFailures_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("error");
    QTest::newRow("not found") << QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                               << "server answered HTTP/1.0 404 Not Found";
    QTest::newRow("garbled status") << QByteArray("HTTP/1.0 xyz\r\n\r\n") << "server answered HTTP/1.0 xyz";
    QTest::newRow("endless head") << "HTTP/1.0 200 OK\r\nX: " + QByteArray(20000, 'a') << "response head too long";
}

// A refused response ends the stream for good: nothing is kept, nothing later is taken.
void TestMjpegParser::httpFailures()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, error);
    Collected c;
    QVERIFY(!c.feed(stream.toStdString(), 1000));
    QVERIFY(c.parser.Failed());
    QCOMPARE(QString::fromStdString(c.parser.Error()), error);
    QCOMPARE(c.parser.BufferedBytes(), size_t(0));
    QVERIFY(!c.parser.Feed(part("abc")));
    QVERIFY(c.parts.isEmpty());
}

QTEST_GUILESS_MAIN(TestMjpegParser)
#include "tst_mjpegparser.moc"
