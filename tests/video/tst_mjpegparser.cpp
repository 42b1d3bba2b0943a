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
    void boundaryFromContentType_data();
    void boundaryFromContentType();
    void refusesHugeDeclaredPart();
    void refusesEndlessPartWithBoundedMemory();
    void garbageHeadersAreSkipped();
    void shortContentLengthRecovers();
    void httpFailures_data();
    void httpFailures();
    void closingDelimiterEndsStream();
};

// Every framing the viewer meets, fed whole and in pieces small enough to split the boundary,
// the headers and the bodies across reads.
void TestMjpegParser::splitsParts_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");

    const std::string a = body(1), b = body(2, 1000), c = body(3, 40);
    const QList<QByteArray> abc{bytes(a), bytes(b), bytes(c)};

    QTest::newRow("with lengths") << bytes(Head + part(a) + part(b) + part(c)) << abc;
    QTest::newRow("without lengths") << bytes(Head + part(a, false) + part(b, false) + part(c, false) + "--frame\r\n")
                                     << abc;
    QTest::newRow("mixed") << bytes(Head + part(a) + part(b, false) + part(c) + "--frame\r\n") << abc;
    QTest::newRow("bare LF lines")
        << bytes("HTTP/1.1 200 OK\nContent-Type: multipart/x-mixed-replace;boundary=frame\n\n--frame\n"
                 "Content-Length: 3\n\nabc\n--frame\nContent-Length: 2\n\nde\n")
        << QList<QByteArray>{"abc", "de"};
    QTest::newRow("quoted boundary")
        << bytes("HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=\"my frame\"\r\n\r\n"
                 + part(a, true, "--my frame") + part(b, false, "--my frame") + "--my frame\r\n")
        << QList<QByteArray>{bytes(a), bytes(b)};
    QTest::newRow("boundary declared with dashes")
        << bytes("HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=--xyz\r\n\r\n"
                 + part(a, false, "--xyz") + part(b, false, "----xyz") + part(c, true, "--xyz") + "--xyz\r\n")
        << abc;
    QTest::newRow("boundary learnt from body")
        << bytes("HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace\r\n\r\n" + part(a) + part(b, false)
                 + "--frame\r\n")
        << QList<QByteArray>{bytes(a), bytes(b)};
    QTest::newRow("no HTTP head") << bytes(part(a) + part(b)) << QList<QByteArray>{bytes(a), bytes(b)};
    QTest::newRow("preamble and extra headers")
        << bytes(Head + "this is the preamble\r\n" + "--frame\r\nX-Timestamp: 12\r\nContent-length:  5 \r\n\r\nhello"
                 + "\r\n" + part(c))
        << QList<QByteArray>{"hello", bytes(c)};
    QTest::newRow("part without headers")
        << bytes(Head + "--frame\r\n" + a + "\r\n--frame\r\n\r\nxy\r\n--frame\r\n")
        << QList<QByteArray>{bytes(a), "xy"};
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

void TestMjpegParser::boundaryFromContentType_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("boundary");
    QTest::newRow("plain") << "multipart/x-mixed-replace; boundary=frame" << "frame";
    QTest::newRow("no blank") << "multipart/x-mixed-replace;boundary=frame" << "frame";
    QTest::newRow("quoted") << "multipart/x-mixed-replace; boundary=\"a b\"" << "a b";
    QTest::newRow("upper-case name") << "multipart/x-mixed-replace; BOUNDARY=x" << "x";
    QTest::newRow("after other parameter") << "multipart/x-mixed-replace; charset=x; boundary=--b" << "--b";
    QTest::newRow("missing") << "multipart/x-mixed-replace" << "";
    QTest::newRow("not a parameter name") << "multipart/x-mixed-replace; xboundary=y" << "";
}

void TestMjpegParser::boundaryFromContentType()
{
    QFETCH(QString, contentType);
    QFETCH(QString, boundary);
    QCOMPARE(QString::fromStdString(MjpegStreamParser::BoundaryFromContentType(contentType.toStdString())), boundary);
}

void TestMjpegParser::refusesHugeDeclaredPart()
{
    MjpegStreamParser::Limits limits;
    limits.maxPartBytes = 1000;
    Collected c(limits);
    const std::string good = body(5);
    // The declared length is refused before anything is buffered; so is one that overflows.
    const std::string stream = Head + "--frame\r\nContent-Length: 50000000\r\n\r\n" + std::string(3000, 'x') + "\r\n"
                               + "--frame\r\nContent-Length: 99999999999999999999999999\r\n\r\n" + std::string(10, 'y')
                               + "\r\n" + part(good);
    size_t maxBuffered = 0;
    for (size_t i = 0; i < stream.size(); i += 100) {
        QVERIFY(c.parser.Feed(std::string_view(stream).substr(i, 100)));
        maxBuffered = std::max(maxBuffered, c.parser.BufferedBytes());
    }
    QCOMPARE(c.parser.PartsRefused(), size_t(1));
    QCOMPARE(c.parts.size(), size_t(2));
    QCOMPARE(c.parts.front(), std::string(10, 'y')); // unparsable length: taken up to the boundary
    QCOMPARE(c.parts.back(), good);
    QVERIFY2(maxBuffered < 1000, qPrintable(QString::number(maxBuffered)));
}

void TestMjpegParser::refusesEndlessPartWithBoundedMemory()
{
    MjpegStreamParser::Limits limits;
    limits.maxPartBytes = 4096;
    Collected c(limits);
    QVERIFY(c.parser.Feed(Head + "--frame\r\nContent-Type: image/jpeg\r\n\r\n"));
    // A stalled or broken camera that never sends the next boundary.
    const std::string junk(1000, '\x55');
    for (int i = 0; i < 200; ++i) {
        QVERIFY(c.parser.Feed(junk));
        QVERIFY2(c.parser.BufferedBytes() <= limits.maxPartBytes + junk.size(),
                 qPrintable(QString::number(c.parser.BufferedBytes())));
    }
    QCOMPARE(c.parser.PartsRefused(), size_t(1));
    QVERIFY(c.parts.empty());
    // The stream recovers at the next boundary.
    const std::string good = body(9);
    QVERIFY(c.parser.Feed("\r\n" + part(good)));
    QCOMPARE(c.parts.size(), size_t(1));
    QCOMPARE(c.parts.back(), good);
}

void TestMjpegParser::garbageHeadersAreSkipped()
{
    MjpegStreamParser::Limits limits;
    limits.maxHeadBytes = 256;
    Collected c(limits);
    const std::string good = body(4);
    // Part headers that never end, then a boundary-less stretch of noise before a good part.
    std::string stream = Head + "--frame\r\nContent-Type: image/jpeg" + std::string(2000, 'h') + "\r\n"
                         + std::string(500, '\0') + part(good);
    QVERIFY(c.feed(stream, 7));
    QCOMPARE(c.parts.size(), size_t(1));
    QCOMPARE(c.parts.front(), good);
    QCOMPARE(c.parser.PartsRefused(), size_t(1));
}

void TestMjpegParser::shortContentLengthRecovers()
{
    Collected c;
    const std::string good = body(6);
    QVERIFY(c.feed(Head + "--frame\r\nContent-Length: 4\r\n\r\nabcdefgh\r\n" + part(good), 3));
    QCOMPARE(c.parts.size(), size_t(2));
    QCOMPARE(c.parts[0], std::string("abcd"));
    QCOMPARE(c.parts[1], good);
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

void TestMjpegParser::closingDelimiterEndsStream()
{
    Collected c;
    QVERIFY(c.feed(Head + part("one") + "--frame--\r\n" + part("two"), 4));
    QCOMPARE(c.parts, std::vector<std::string>{"one"});
}

QTEST_GUILESS_MAIN(TestMjpegParser)
#include "tst_mjpegparser.moc"
