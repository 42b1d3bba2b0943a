#include "tools/videoviewer/MjpegStreamParser.h"

#include <QtTest>

#include <string>
#include <vector>

namespace {

const std::string Head = "HTTP/1.0 200 OK\r\n"
                         "Server: test\r\n"
                         "Content-Type: multipart/x-mixed-replace; boundary=frame\r\n"
                         "\r\n";

std::string part(const std::string &body, bool withLength = true, const std::string &delimiter = "--frame")
{
    std::string text = delimiter + "\r\nContent-Type: image/jpeg\r\n";
    if (withLength)
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body + "\r\n";
}

// A picture-like body: binary bytes, CR/LF pairs and dashes, so only the framing can find its end.
std::string body(int seed, size_t size = 300)
{
    std::string b = "\xFF\xD8";
    for (size_t i = 0; b.size() < size - 2; ++i) {
        const char c = char((seed * 131 + int(i) * 7) & 0xFF);
        b += c;
        if (i % 37 == 0)
            b += "\r\n--";
    }
    return b + "\xFF\xD9";
}

struct Collected
{
    std::vector<std::string> parts;
    MjpegStreamParser parser;
    explicit Collected(MjpegStreamParser::Limits limits = MjpegStreamParser::Limits())
        : parser([this](std::string_view b) { parts.emplace_back(b); }, limits)
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

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

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

// Every framing the viewer meets, fed whole and in pieces small enough to split the boundary,
// the headers and the bodies across reads.
void TestMjpegParser::splitsParts_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");

    const std::string a = body(1), b = body(2, 1000), c = body(3, 40);
    const QList<QByteArray> abc{bytes(a), bytes(b), bytes(c)};
    auto head = [](const std::string &contentType) {
        return "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace" + contentType + "\r\n\r\n";
    };

    QTest::newRow("with lengths") << bytes(Head + part(a) + part(b) + part(c)) << abc;
    QTest::newRow("mixed") << bytes(Head + part(a) + part(b, false) + part(c) + "--frame\r\n") << abc;
    QTest::newRow("bare LF lines")
        << bytes("HTTP/1.1 200 OK\nContent-Type: multipart/x-mixed-replace;boundary=frame\n\n--frame\n"
                 "Content-Length: 3\n\nabc\n--frame\nContent-Length: 2\n\nde\n")
        << QList<QByteArray>{"abc", "de"};
    QTest::newRow("quoted boundary after another parameter")
        << bytes(head("; charset=x; BOUNDARY=\"my frame\"") + part(a, true, "--my frame") + part(b, false, "--my frame")
                 + "--my frame\r\n")
        << QList<QByteArray>{bytes(a), bytes(b)};
    QTest::newRow("boundary declared with dashes")
        << bytes(head("; boundary=--xyz") + part(a, false, "--xyz") + part(b, false, "----xyz") + part(c, true, "--xyz")
                 + "--xyz\r\n")
        << abc;
    QTest::newRow("boundary learnt from body")
        << bytes(head("; xboundary=y") + part(a) + part(b, false) + "--frame\r\n") << QList<QByteArray>{bytes(a), bytes(b)};
    QTest::newRow("no HTTP head") << bytes(part(a) + part(b)) << QList<QByteArray>{bytes(a), bytes(b)};
    QTest::newRow("preamble and extra headers")
        << bytes(Head + "this is the preamble\r\n" + "--frame\r\nX-Timestamp: 12\r\nContent-length:  5 \r\n\r\nhello"
                 + "\r\n" + part(c))
        << QList<QByteArray>{"hello", bytes(c)};
    QTest::newRow("part without headers") << bytes(Head + "--frame\r\n" + a + "\r\n--frame\r\n\r\nxy\r\n--frame\r\n")
                                          << QList<QByteArray>{bytes(a), "xy"};
    // A length shorter than the body: the rest is skipped up to the next boundary.
    QTest::newRow("short length") << bytes(Head + "--frame\r\nContent-Length: 4\r\n\r\nabcdefgh\r\n" + part(c))
                                  << QList<QByteArray>{"abcd", bytes(c)};
    QTest::newRow("closing delimiter ends the stream") << bytes(Head + part("one") + "--frame--\r\n" + part("two"))
                                                       << QList<QByteArray>{"one"};
}

void TestMjpegParser::splitsParts()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, expected);
    const std::string data(stream.constData(), size_t(stream.size()));
    for (size_t chunk : {size_t(1), size_t(2), size_t(5), size_t(13), size_t(64), data.size()}) {
        Collected c;
        QVERIFY(c.feed(data, chunk));
        QList<QByteArray> got;
        for (const auto &p : c.parts)
            got << bytes(p);
        QCOMPARE(got, expected);
        QCOMPARE(c.parser.PartsRefused(), size_t(0));
    }
}

// Parts too large (declared or not), headers that never end and noise between parts are skipped;
// the parser never holds much more than one part's limit, and the next good part comes through.
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
    QCOMPARE(c.parts, (std::vector<std::string>{std::string(4096, 'w'), std::string(10, 'y'), good}));
    QVERIFY2(maxBuffered <= limits.maxPartBytes + 1000, qPrintable(QString::number(maxBuffered)));
    QVERIFY(c.parser.Feed("\r\n" + part("again")));
    QCOMPARE(c.parts.back(), std::string("again"));
}

void TestMjpegParser::httpFailures_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("error");
    QTest::newRow("not found") << QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                               << "server answered HTTP/1.0 404 Not Found";
    QTest::newRow("garbled status") << QByteArray("HTTP/1.0 xyz\r\n\r\n") << "server answered HTTP/1.0 xyz";
    QTest::newRow("endless head") << QByteArray("HTTP/1.0 200 OK\r\nX: ") + QByteArray(20000, 'a')
                                  << "response head too long";
}

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
    QVERIFY(c.parts.empty());
}

QTEST_GUILESS_MAIN(TestMjpegParser)
#include "tst_mjpegparser.moc"
