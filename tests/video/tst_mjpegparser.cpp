#include "tools/videoviewer/MjpegStreamParser.h"

#include <QTest>

namespace {

std::string head(const std::string &params = "; boundary=frame")
{
    return "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace" + params + "\r\n\r\n";
}

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

QByteArray bytes(std::string_view s) { return QByteArray(s.data(), qsizetype(s.size())); }

struct Collected
{
    QList<QByteArray> parts;
    MjpegStreamParser parser;
    explicit Collected(MjpegStreamParser::Limits l = {})
        : parser([this](std::string_view b) { parts << bytes(b); }, l) {}
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
    // Each stream fed whole and in pieces small enough to split the boundary, the headers and the bodies.
    void splitsParts()
    {
        const std::string a = body(1), b = body(2, 1000), c = body(3, 40);
        const QList<QByteArray> abc{bytes(a), bytes(b), bytes(c)}, ab{bytes(a), bytes(b)};
        const std::pair<std::string, QList<QByteArray>> rows[] = {
            {head() + part(a) + part(b, false) + part(c) + "--frame\r\n", abc}, // mixed lengths
            {"HTTP/1.1 200 OK\nContent-Type: multipart/x-mixed-replace;boundary=frame\n\n--frame\n"
             "Content-Length: 3\n\nabc\n--frame\nContent-Length: 2\n\nde\n", {"abc", "de"}}, // bare LF lines
            // A quoted boundary after another parameter.
            {head("; charset=x; BOUNDARY=\"my f\"") + part(a, true, "--my f") + part(b, false, "--my f")
                 + "--my f\r\n", ab},
            // A boundary declared with dashes.
            {head("; boundary=--xyz") + part(a, false, "--xyz") + part(b, false, "----xyz") + part(c, true, "--xyz")
                 + "--xyz\r\n", abc},
            {head("; xboundary=y") + part(a) + part(b, false) + "--frame\r\n", ab}, // boundary learnt from the body
            {part(a) + part(b), ab}, // no HTTP head
            // A preamble, extra headers, a part without headers, a length shorter than the part.
            {head() + "preamble\r\n--frame\r\nX-Timestamp: 12\r\nContent-length:  5 \r\n\r\nhello\r\n--frame\r\n" + a
                 + "\r\n--frame\r\n\r\nxy\r\n--frame\r\nContent-Length: 4\r\n\r\nabcdefgh\r\n" + part(c),
             {"hello", bytes(a), "xy", "abcd", bytes(c)}},
            {head() + part("one") + "--frame--\r\n" + part("two"), {"one"}}, // the closing delimiter ends the stream
        };
        for (const auto &[stream, expected] : rows)
            for (size_t chunk : {1, 2, 5, 13, 64, 100000}) {
                Collected p;
                QVERIFY(p.feed(stream, chunk) && p.parser.PartsRefused() == 0);
                QCOMPARE(p.parts, expected);
            }
    }

    // Oversized parts (declared or not), endless headers and noise are skipped within bounded memory,
    // and the next good part still comes through.
    void damagedPartsAreSkippedWithBoundedMemory()
    {
        Collected c({256, 4096}); // head and part limits
        const std::string good = body(5);
        const auto sized = [](const char *length, size_t n, char fill) {
            return "--frame\r\nContent-Length: " + std::string(length) + "\r\n\r\n" + std::string(n, fill) + "\r\n";
        };
        // An unparsable length is taken up to the boundary.
        const std::string stream = head() + sized("50000000", 3000, 'x') + sized("4097", 4097, 'z')
                                   + sized("4096", 4096, 'w') + sized("99999999999999999999999999", 10, 'y')
                                   + "--frame\r\nContent-Type: image/jpeg" + std::string(2000, 'h') + "\r\n"
                                   + std::string(500, '\0') + part(good) + "--frame\r\nContent-Type: image/jpeg\r\n\r\n"
                                   + std::string(200000, '\x55');
        size_t maxBuffered = 0;
        for (size_t i = 0; i < stream.size(); i += 1000) {
            QVERIFY(c.parser.Feed(std::string_view(stream).substr(i, 1000)));
            maxBuffered = std::max(maxBuffered, c.parser.BufferedBytes());
        }
        QCOMPARE(c.parser.PartsRefused(), size_t(4));
        QCOMPARE(c.parts, (QList<QByteArray>{QByteArray(4096, 'w'), QByteArray(10, 'y'), bytes(good)}));
        QVERIFY2(maxBuffered <= 4096 + 1000, qPrintable(QString::number(maxBuffered)));
        QVERIFY(c.parser.Feed("\r\n" + part("again")));
        QCOMPARE(c.parts.back(), "again");
    }

    // A refused response ends the stream for good: nothing is kept, nothing later is taken.
    void httpFailures()
    {
        for (const auto &[stream, error] : std::initializer_list<std::pair<std::string, std::string>>{
                 {"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n", "server answered HTTP/1.0 404 Not Found"},
                 {"HTTP/1.0 xyz\r\n\r\n", "server answered HTTP/1.0 xyz"},
                 {"HTTP/1.0 200 OK\r\nX: " + std::string(20000, 'a'), "response head too long"}}) {
            Collected c;
            QVERIFY(!c.feed(stream, 1000) && c.parser.Failed() && c.parser.BufferedBytes() == 0);
            QCOMPARE(bytes(c.parser.Error()), bytes(error));
            QVERIFY(!c.parser.Feed(part("abc")) && c.parts.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestMjpegParser)
#include "tst_mjpegparser.moc"
