#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"

#include <QtTest>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Pixels = std::vector<std::uint32_t>; // 0xRRGGBB per pixel

// Little-endian fields.
struct Bytes
{
    std::string s;
    Bytes &put(std::uint32_t v, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            s.push_back(char(v >> (8 * i)));
        return *this;
    }
    Bytes &u16(std::uint32_t v) { return put(v, 2); }
    Bytes &u32(std::uint32_t v) { return put(v, 4); }
};

// A bitmap file put together field by field, so each layout can be written exactly.
struct Dib
{
    std::uint32_t headerSize = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    Pixels palette;              // written as the colour table
    std::uint32_t masks[4] = {}; // red, green, blue, alpha
    std::string bits;
    bool fileHeader = true;
    std::int64_t bitsOffset = -1; // file header field; -1 = where the bits really start

    QByteArray build() const
    {
        Bytes h;
        if (headerSize == 12) {
            h.u32(12).u16(width).u16(height).u16(1).u16(bitCount);
        } else {
            h.u32(headerSize).u32(width).u32(height).u16(1).u16(bitCount).u32(compression).u32(0);
            h.u32(2835).u32(2835).u32(colorsUsed).u32(0);
            // Masks sit inside the larger headers, or right behind a 40-byte one.
            const int maskCount = headerSize > 40 ? 4 : compression == 3 ? 3 : compression == 6 ? 4 : 0;
            for (int i = 0; i < maskCount; ++i)
                h.u32(masks[i]);
            if (headerSize > 40)
                h.s.resize(headerSize, '\0');
        }
        for (std::uint32_t c : palette)
            h.put(c, headerSize == 12 ? 3 : 4);
        Bytes file;
        if (fileHeader) {
            const auto offset = std::uint32_t(bitsOffset >= 0 ? bitsOffset : std::int64_t(14 + h.s.size()));
            file.u16('B' | 'M' << 8).u32(std::uint32_t(14 + h.s.size() + bits.size())).u32(0).u32(offset);
        }
        file.s += h.s + bits;
        return QByteArray(file.s.data(), qsizetype(file.s.size()));
    }
};

// Packs rows of raw pixel values (palette indices, most significant first, or little-endian packed
// pixels; 24-bit 0xRRGGBB goes out as blue, green, red) at a depth, padding each row to 4 bytes.
std::string packRows(const std::vector<Pixels> &rows, int bitCount)
{
    std::string out;
    for (const Pixels &row : rows) {
        Bytes b;
        std::uint32_t acc = 0;
        int used = 0;
        for (std::uint32_t v : row) {
            if (bitCount >= 8) {
                b.put(v, bitCount / 8);
                continue;
            }
            acc = (acc << bitCount) | v;
            if ((used += bitCount) == 8)
                b.put(acc, 1), acc = 0, used = 0;
        }
        if (used > 0)
            b.put(acc << (8 - used), 1);
        b.s.resize((b.s.size() + 3) / 4 * 4, '\0');
        out += b.s;
    }
    return out;
}

// An uncompressed bitmap of rows of raw pixel values (bottom row first) at a depth; the test
// sets whatever else its layout needs.
Dib rowsAt(std::uint16_t bitCount, const std::vector<Pixels> &rows)
{
    Dib d;
    d.bitCount = bitCount;
    d.width = std::int32_t(rows.front().size());
    d.height = std::int32_t(rows.size());
    d.bits = packRows(rows, bitCount);
    return d;
}

// The colours palette indices stand for, row after row.
Pixels lookUp(const Pixels &palette, const std::vector<Pixels> &rows)
{
    Pixels out;
    for (const Pixels &row : rows)
        for (std::uint32_t index : row)
            out.push_back(palette[index]);
    return out;
}

// A run-length bitmap (bottom-up unless height is negative) of the given code bytes.
Dib rle(std::uint16_t bitCount, std::int32_t width, std::int32_t height, const Pixels &palette,
        const std::vector<std::uint8_t> &codes, std::uint32_t compression = 0)
{
    Dib d;
    d.bitCount = bitCount;
    d.compression = compression ? compression : bitCount == 8 ? 1 : 2;
    d.width = width;
    d.height = height;
    d.colorsUsed = std::uint32_t(palette.size());
    d.palette = palette;
    d.bits.assign(codes.begin(), codes.end());
    return d;
}

QByteArray rgb(const Pixels &pixels)
{
    QByteArray out;
    for (std::uint32_t c : pixels) {
        out.append(char((c >> 16) & 0xFF));
        out.append(char((c >> 8) & 0xFF));
        out.append(char(c & 0xFF));
    }
    return out;
}

} // namespace

class TestBitmap : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void decodes_data();
    void decodes();
    void refuses_data();
    void refuses();
    void unreadableFiles_data();
    void unreadableFiles();

private:
    QStringList m_messages; // caption|text
    QTemporaryDir m_dir;

    std::unique_ptr<ImageRecord> loadThroughFile(const QByteArray &bytes);
};

void TestBitmap::init()
{
    m_messages.clear();
    SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
        m_messages << QString::fromStdString(caption + "|" + text);
    });
}

void TestBitmap::cleanup()
{
    SetLoaderMessageHook({});
}

std::unique_ptr<ImageRecord> TestBitmap::loadThroughFile(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("image.bmp"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return nullptr;
    file.close();
    return LoadDIBImage(QFile::encodeName(path).constData());
}

void TestBitmap::decodes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QByteArray>("expected"); // bottom row first

    const Pixels four = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080, 0x123456,
                         0xABCDEF, 0x010203, 0xFEDCBA, 0x7F7F7F, 0xC0C0C0, 0x0F0F0F, 0xF0F0F0, 0x55AA55};
    {
        const std::vector<Pixels> rows = {{1, 0, 1, 1, 0, 0, 0, 1, 0, 1}, {0, 1, 0, 0, 1, 1, 1, 0, 1, 0}};
        Dib d = rowsAt(1, rows); // 10 wide: crosses a byte boundary
        d.palette = {0x112233, 0xAABBCC};
        QTest::newRow("1 bit") << d.build() << 10 << 2 << rgb(lookUp(d.palette, rows));
    }
    {
        const std::vector<Pixels> rows = {{0, 1, 2, 3, 15}, {14, 13, 12, 11, 10}};
        Dib d = rowsAt(4, rows);
        d.palette = four;
        QTest::newRow("4 bit, odd width") << d.build() << 5 << 2 << rgb(lookUp(four, rows));
        // Indices past a short colour table come out black.
        Dib s = rowsAt(4, {{2, 9, 0}});
        s.colorsUsed = 3;
        s.palette = {0x010101, 0x020202, 0x030303};
        QTest::newRow("4 bit, index past table") << s.build() << 3 << 1 << rgb({0x030303, 0x000000, 0x010101});
    }
    {
        const std::vector<Pixels> rows = {{0, 200, 255}, {1, 128, 254}};
        Dib d = rowsAt(8, rows);
        d.colorsUsed = 256; // the largest table there is
        for (std::uint32_t i = 0; i < 256; ++i)
            d.palette.push_back((i << 16) | ((255 - i) << 8) | (i ^ 0x55));
        d.fileHeader = false; // the bits must be found behind all 256 entries
        QTest::newRow("8 bit, 256 colours, no file header") << d.build() << 3 << 2 << rgb(lookUp(d.palette, rows));
        Dib e = rowsAt(8, {{15, 7, 0, 3}});
        e.colorsUsed = 16;
        e.palette = four;
        e.fileHeader = false; // the bits follow a 16-entry table
        QTest::newRow("8 bit, 16 colours, no file header") << e.build() << 4 << 1
                                                          << rgb({four[15], four[7], four[0], four[3]});
        Dib c = rowsAt(8, {{3, 4}, {250, 9}});
        c.headerSize = 12;
        c.palette = d.palette;
        QTest::newRow("core header, 3-byte table") << c.build() << 2 << 2 << rgb(lookUp(d.palette, {{3, 4}, {250, 9}}));
    }
    // 5-5-5: full scale maps to 255, 16 to 132 (bits repeated downwards).
    QTest::newRow("16 bit 5-5-5") << rowsAt(16, {{0x7FFF, 0x7C00, 0x0210, 0x8000}}).build() << 4 << 1
                                  << rgb({0xFFFFFF, 0xFF0000, 0x008484, 0x000000});
    {
        Dib d = rowsAt(16, {{0xF800, 0x07E0, 0x0841}});
        d.compression = 3;
        d.masks[0] = 0xF800;
        d.masks[1] = 0x07E0;
        d.masks[2] = 0x001F;
        QTest::newRow("16 bit 5-6-5 masks behind info header") << d.build() << 3 << 1
                                                               << rgb({0xFF0000, 0x00FF00, 0x080808});
    }
    {
        // 3 wide: 9 bytes a row, 3 bytes padding.
        const Pixels pixels = {0x010203, 0x040506, 0x070809, 0xA1A2A3, 0xB1B2B3, 0xC1C2C3};
        Dib d = rowsAt(24, {{pixels[0], pixels[1], pixels[2]}, {pixels[3], pixels[4], pixels[5]}});
        d.bits.resize(d.bits.size() - 3); // the last row's padding is often left out
        QTest::newRow("24 bit, last row unpadded") << d.build() << 3 << 2 << rgb(pixels);
        d.height = -2; // top-down: first stored row is the top one
        QTest::newRow("24 bit, top-down") << d.build() << 3 << 2
                                          << rgb({pixels[3], pixels[4], pixels[5], pixels[0], pixels[1], pixels[2]});
    }
    QTest::newRow("32 bit") << rowsAt(32, {{0xFF123456, 0x00ABCDEF}}).build() << 2 << 1 << rgb({0x123456, 0xABCDEF});
    {
        Dib d = rowsAt(32, {{0x00332211, 0x00CCBBAA}});
        d.headerSize = 124;
        d.compression = 3;
        d.masks[0] = 0x000000FF; // red in the low byte
        d.masks[1] = 0x0000FF00;
        d.masks[2] = 0x00FF0000;
        QTest::newRow("32 bit masks in 124-byte header") << d.build() << 2 << 1 << rgb({0x112233, 0xAABBCC});
        Dib t = rowsAt(32, {{(0x3FFu << 20) | (0x200u << 10) | 0x004u}});
        t.headerSize = 56;
        t.compression = 6;
        t.masks[0] = 0x3FF00000; // 10-10-10
        t.masks[1] = 0x000FFC00;
        t.masks[2] = 0x000003FF;
        t.masks[3] = 0xC0000000;
        QTest::newRow("32 bit 10-10-10 alpha masks, 56-byte header") << t.build() << 1 << 1 << rgb({0xFF8001});
    }
    // Run-length rows; every run, absolute run and delta below ends exactly on the row's or the
    // image's last valid position.
    const Pixels five = {0x000010, 0x000020, 0x000030, 0x000040, 0x000050};
    // Row 0: run of 2 x index 1, absolute run 2 3 4. Row 1: skip 1 pixel, index 2, rest unwritten.
    QTest::newRow("RLE8") << rle(8, 5, 2, five, {2, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 0, 1, 2, 0, 1}).build() << 5
                          << 2 << rgb({0x20, 0x20, 0x30, 0x40, 0x50, 0, 0x30, 0, 0, 0});
    QTest::newRow("RLE8, image complete without end mark") << rle(8, 2, 1, five, {2, 1, 0, 0}).build() << 2 << 1
                                                           << rgb({0x20, 0x20});
    QTest::newRow("RLE8, delta to the row end and the image top")
        << rle(8, 2, 2, five, {1, 3, 0, 2, 1, 0, 0, 2, 0, 2, 0, 1}).build() << 2 << 2 << rgb({0x40, 0, 0, 0});
    // 1 2 1, then 3 4 5; then six of 4.
    QTest::newRow("RLE4") << rle(4, 6, 2, {1, 2, 3, 4, 5, 6}, {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 6, 0x33, 0, 1}).build()
                          << 6 << 2 << rgb({2, 3, 2, 4, 5, 6, 4, 4, 4, 4, 4, 4});
}

void TestBitmap::decodes()
{
    QFETCH(QByteArray, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QByteArray, expected);

    const auto image = loadThroughFile(file);
    QVERIFY2(image, qPrintable(m_messages.join(' ')));
    QCOMPARE(image->width, width);
    QCOMPARE(image->height, height);
    const QByteArray got(reinterpret_cast<const char *>(image->data.data()), qsizetype(image->data.size()));
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
    QVERIFY(m_messages.empty());
}

void TestBitmap::refuses_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");

    const QString format = QStringLiteral("Unknown DIB file format.");
    const QString conversion = QStringLiteral("Image file conversion error.");
    const QString memory = QStringLiteral("Out of memory.");

    auto rgb24 = [](std::int32_t w, std::int32_t h) {
        Dib d;
        d.width = w;
        d.height = h;
        d.bits = packRows(std::vector<Pixels>(std::size_t(h < 0 ? -h : h), Pixels(std::size_t(w > 0 ? w : 0), 0x808080)), 24);
        return d;
    };
    const Pixels two = {0x111111, 0x222222};
    auto row = [](const char *name, const Dib &d, const QString &message) { QTest::newRow(name) << d.build() << message; };

    Dib d = rgb24(1, 1);
    d.headerSize = 64;
    row("header size 64", d, format);
    QTest::newRow("file header only") << QByteArray("BM\x10\0\0\0\0\0\0\0\x0e\0\0\0", 14) << format;
    QTest::newRow("header cut short") << rgb24(1, 1).build().left(14 + 20) << conversion;
    row("width 0", rgb24(0, 1), conversion);
    row("height 0", rgb24(1, 0), conversion);
    d = rgb24(1, 1);
    d.width = 40000;
    d.height = 40000; // each side fine, the product is not
    row("huge product", d, memory);
    d.width = 65537;
    d.height = 1;
    row("one pixel wider than the limit", d, memory);
    d.width = 1;
    d.height = std::numeric_limits<std::int32_t>::min();
    row("most negative height", d, memory);
    d = rgb24(3, 2);
    d.bits.resize(d.bits.size() - 4); // one byte short of an unpadded last row
    row("pixel data one byte short", d, conversion);
    d = rgb24(2, 2);
    d.bitsOffset = 1 << 20;
    row("bits offset past the end", d, conversion);
    d = rowsAt(8, {{0}});
    d.colorsUsed = 257;
    d.palette = Pixels(257, 0);
    row("colours used 257", d, conversion);
    d.colorsUsed = 0;
    d.palette = Pixels(10, 0); // 256 promised by the depth
    row("colour table past the end", d, conversion);
    d = rowsAt(16, {{0}});
    d.compression = 3;
    d.masks[0] = 0xF800;
    d.masks[2] = 0x1F;
    row("zero mask", d, conversion);
    d.masks[1] = 0x7E0;
    d.bitCount = 24;
    d.bits = packRows({{0}}, 24);
    row("masks on 24 bit", d, conversion);
    d.bitCount = 16;
    QTest::newRow("masks cut short") << d.build().left(14 + 40 + 6) << conversion;
    d = rgb24(1, 1);
    d.compression = 4; // JPEG is for printers only
    row("JPEG compression", d, conversion);
    d.compression = 0;
    d.bitCount = 2;
    row("2 bits per pixel", d, conversion);
    d = rle(8, 2, 1, two, {0, 1});
    d.bitCount = 4;
    row("RLE8 on 4 bit", d, conversion);
    row("RLE4 on 8 bit", rle(8, 2, 1, two, {0, 1}, 2), conversion);
    row("RLE top-down", rle(8, 2, -1, two, {0, 1}), conversion);
    // One pixel or one row past each last valid position.
    row("RLE8 run past the row", rle(8, 5, 1, two, {6, 1, 0, 1}), conversion);
    row("RLE8 run after the last row", rle(8, 1, 1, two, {0, 0, 1, 1}), conversion);
    row("RLE8 end of line after the last row", rle(8, 1, 1, two, {0, 0, 0, 0, 0, 1}), conversion);
    row("RLE8 absolute past the row", rle(8, 4, 1, two, {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}), conversion);
    row("RLE8 absolute after the last row", rle(8, 3, 1, two, {0, 0, 0, 3, 1, 1, 1, 0, 0, 1}), conversion);
    row("RLE8 absolute past the data", rle(8, 30, 1, two, {0, 20, 1, 1}), conversion);
    row("RLE8 delta past the last row", rle(8, 2, 2, two, {0, 2, 0, 3, 0, 1}), conversion);
    row("RLE8 delta past the row", rle(8, 2, 2, two, {0, 2, 3, 0, 0, 1}), conversion);
    row("RLE8 delta cut short", rle(8, 2, 2, two, {0, 2, 1}), conversion);
    row("RLE8 ends before the image", rle(8, 2, 2, two, {2, 1}), conversion);
    row("RLE4 absolute past the row", rle(4, 3, 1, two, {0, 4, 0x11, 0x11, 0, 1}), conversion);
}

void TestBitmap::refuses()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);

    QVERIFY(!loadThroughFile(file));
    QCOMPARE(m_messages, QStringList{"Error|" + message});

    // The in-memory entry takes the same path on an exact-size copy.
    m_messages.clear();
    std::vector<std::uint8_t> copy(file.begin(), file.end());
    QVERIFY(!LoadDIBImageFromMemory(copy.data(), copy.size(), "memory"));
    QCOMPARE(m_messages, QStringList{"Error|" + message});
}

void TestBitmap::unreadableFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message"); // empty: the open failure
    QTest::newRow("missing") << QStringLiteral("no-such.bmp") << QString();
    QTest::newRow("empty") << QStringLiteral("empty.bmp") << QString();
    QTest::newRow("directory") << QStringLiteral("folder.bmp") << QString();
    // Announces 4096 bytes and reads a few before its end: what was read is taken, and its
    // 0-byte read ends the loop.
    QTest::newRow("shorter than announced") << QStringLiteral("/sys/devices/system/cpu/online")
                                            << QStringLiteral("Unknown DIB file format.");
}

void TestBitmap::unreadableFiles()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFile empty(m_dir.filePath(QStringLiteral("empty.bmp")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QDir(m_dir.path()).mkpath(QStringLiteral("folder.bmp"));

    const QByteArray full = QFile::encodeName(QDir(m_dir.path()).absoluteFilePath(path));
    if (!QFile::exists(QString::fromLocal8Bit(full)) && !message.isEmpty())
        QSKIP("no such file on this system");
    QVERIFY(!LoadDIBImage(full.constData()));
    QCOMPARE(m_messages, QStringList{"Error|" + (message.isEmpty() ? QStringLiteral("Failed to open DIB file %1.\n")
                                                                            .arg(QString::fromLocal8Bit(full))
                                                                  : message)});
}

QTEST_GUILESS_MAIN(TestBitmap)
#include "tst_bitmap.moc"
