#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"

#include <QtTest>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Pixels = std::vector<std::uint32_t>; // 0xRRGGBB per pixel

struct Bytes
{
    std::string s;
    Bytes &u8(std::uint32_t v)
    {
        s.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    Bytes &u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes &u32(std::uint32_t v) { return u16(v).u16(v >> 16); }
    Bytes &raw(const std::string &b)
    {
        s += b;
        return *this;
    }
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
            if (headerSize >= 52)
                h.u32(masks[0]).u32(masks[1]).u32(masks[2]);
            if (headerSize >= 56)
                h.u32(masks[3]);
            h.s.resize(headerSize, '\0');
            if (headerSize == 40 && (compression == 3 || compression == 6)) {
                h.u32(masks[0]).u32(masks[1]).u32(masks[2]);
                if (compression == 6)
                    h.u32(masks[3]);
            }
        }
        for (std::uint32_t c : palette) {
            h.u8(c).u8(c >> 8).u8(c >> 16);
            if (headerSize != 12)
                h.u8(0);
        }
        Bytes file;
        if (fileHeader) {
            const std::uint32_t offset = bitsOffset >= 0 ? std::uint32_t(bitsOffset) : std::uint32_t(14 + h.s.size());
            file.raw("BM").u32(std::uint32_t(14 + h.s.size() + bits.size())).u32(0).u32(offset);
        }
        file.raw(h.s).raw(bits);
        return QByteArray(file.s.data(), qsizetype(file.s.size()));
    }
};

// Packs rows of raw pixel values (palette indices or packed pixels) at a depth, padding each row to
// 4 bytes. 24-bit values are 0xRRGGBB and go out as blue, green, red.
std::string packRows(const std::vector<Pixels> &rows, int bitCount)
{
    std::string out;
    for (const Pixels &row : rows) {
        Bytes b;
        if (bitCount < 8) {
            std::uint32_t acc = 0;
            int used = 0;
            for (std::uint32_t v : row) {
                acc = (acc << bitCount) | v;
                used += bitCount;
                if (used == 8) {
                    b.u8(acc);
                    acc = 0;
                    used = 0;
                }
            }
            if (used > 0)
                b.u8(acc << (8 - used));
        } else {
            for (std::uint32_t v : row) {
                if (bitCount == 8)
                    b.u8(v);
                else if (bitCount == 16)
                    b.u16(v);
                else if (bitCount == 24)
                    b.u8(v).u8(v >> 8).u8(v >> 16);
                else
                    b.u32(v);
            }
        }
        while (b.s.size() % 4)
            b.u8(0);
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

struct Message
{
    std::string caption;
    std::string text;
};

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
    std::vector<Message> m_messages;
    QTemporaryDir m_dir;

    std::unique_ptr<ImageRecord> loadThroughFile(const QByteArray &bytes);
};

void TestBitmap::init()
{
    m_messages.clear();
    SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
        m_messages.push_back({caption, text});
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
    }
    {
        // Indices past a short colour table come out black.
        Dib d = rowsAt(4, {{2, 9, 0}});
        d.colorsUsed = 3;
        d.palette = {0x010101, 0x020202, 0x030303};
        QTest::newRow("4 bit, index past table") << d.build() << 3 << 1 << rgb({0x030303, 0x000000, 0x010101});
    }
    {
        const std::vector<Pixels> rows = {{0, 200, 255}, {1, 128, 254}};
        Dib d = rowsAt(8, rows);
        for (std::uint32_t i = 0; i < 256; ++i)
            d.palette.push_back((i << 16) | ((255 - i) << 8) | (i ^ 0x55));
        d.fileHeader = false; // the bits must be found behind all 256 entries
        QTest::newRow("8 bit, colours used 0, no file header") << d.build() << 3 << 2 << rgb(lookUp(d.palette, rows));
    }
    {
        Dib d = rowsAt(8, {{15, 7, 0, 3}});
        d.colorsUsed = 16;
        d.palette = four;
        d.fileHeader = false; // the bits follow a 16-entry table
        QTest::newRow("8 bit, colours used 16, no file header")
            << d.build() << 4 << 1 << rgb({four[15], four[7], four[0], four[3]});
    }
    {
        const std::vector<Pixels> rows = {{3, 4}, {250, 9}};
        Dib d = rowsAt(8, rows);
        d.headerSize = 12;
        for (std::uint32_t i = 0; i < 256; ++i)
            d.palette.push_back(i * 0x010203u & 0xFFFFFF);
        QTest::newRow("core header, 8 bit, 3-byte table") << d.build() << 2 << 2 << rgb(lookUp(d.palette, rows));
    }
    {
        Dib d = rowsAt(24, {{0x0A0B0C}, {0xFAFBFC}});
        d.headerSize = 12;
        d.fileHeader = false;
        QTest::newRow("core header, 24 bit, no file header") << d.build() << 1 << 2 << rgb({0x0A0B0C, 0xFAFBFC});
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
        QTest::newRow("16 bit 5-6-5 masks behind info header")
            << d.build() << 3 << 1 << rgb({0xFF0000, 0x00FF00, 0x080808});
    }
    {
        // 3 wide: 9 bytes a row, 3 bytes padding.
        const Pixels pixels = {0x010203, 0x040506, 0x070809, 0xA1A2A3, 0xB1B2B3, 0xC1C2C3};
        Dib d = rowsAt(24, {{pixels[0], pixels[1], pixels[2]}, {pixels[3], pixels[4], pixels[5]}});
        QTest::newRow("24 bit, 3 wide") << d.build() << 3 << 2 << rgb(pixels);
        d.bits.resize(d.bits.size() - 3); // the last row's padding is often left out
        QTest::newRow("24 bit, last row unpadded") << d.build() << 3 << 2 << rgb(pixels);
    }
    {
        Dib d = rowsAt(24, {{0x111111, 0x222222}, {0x333333, 0x444444}});
        d.height = -2; // top-down: first stored row is the top one
        QTest::newRow("24 bit, top-down") << d.build() << 2 << 2 << rgb({0x333333, 0x444444, 0x111111, 0x222222});
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
    }
    {
        Dib d = rowsAt(32, {{(0x3FFu << 20) | (0x200u << 10) | 0x004u}});
        d.headerSize = 56;
        d.compression = 6;
        d.masks[0] = 0x3FF00000; // 10-10-10
        d.masks[1] = 0x000FFC00;
        d.masks[2] = 0x000003FF;
        d.masks[3] = 0xC0000000;
        QTest::newRow("32 bit 10-10-10 alpha masks, 56-byte header") << d.build() << 1 << 1 << rgb({0xFF8001});
    }
    {
        Dib d = rowsAt(24, {{0x445566}});
        d.headerSize = 52;
        QTest::newRow("52-byte header") << d.build() << 1 << 1 << rgb({0x445566});
    }
    {
        Dib d = rowsAt(24, {{0x778899}});
        d.headerSize = 108;
        QTest::newRow("108-byte header") << d.build() << 1 << 1 << rgb({0x778899});
    }
    {
        Dib d = rowsAt(24, {{0x0000FF, 0xFF0000}});
        d.fileHeader = false;
        QTest::newRow("info header, no file header") << d.build() << 2 << 1 << rgb({0x0000FF, 0xFF0000});
    }
    {
        // Row 0: run of 2 x index 1, absolute run 2 3 4. Row 1: skip 1 pixel, index 2, rest unwritten.
        Dib d;
        d.bitCount = 8;
        d.compression = 1;
        d.width = 5;
        d.height = 2;
        d.colorsUsed = 5;
        d.palette = {0x000010, 0x000020, 0x000030, 0x000040, 0x000050};
        Bytes b;
        b.u8(2).u8(1).u8(0).u8(3).u8(2).u8(3).u8(4).u8(0).u8(0).u8(0);
        b.u8(0).u8(2).u8(1).u8(0).u8(1).u8(2).u8(0).u8(1);
        d.bits = b.s;
        QTest::newRow("RLE8") << d.build() << 5 << 2
                              << rgb({0x20, 0x20, 0x30, 0x40, 0x50, 0, 0x30, 0, 0, 0});
    }
    {
        Dib d;
        d.bitCount = 8;
        d.compression = 1;
        d.width = 2;
        d.height = 1;
        d.colorsUsed = 2;
        d.palette = {0x0000AA, 0x00BB00};
        Bytes b;
        b.u8(2).u8(1).u8(0).u8(0); // the row is finished; the end-of-bitmap mark is missing
        d.bits = b.s;
        QTest::newRow("RLE8, image complete without end mark") << d.build() << 2 << 1 << rgb({0x00BB00, 0x00BB00});
    }
    {
        Dib d;
        d.bitCount = 4;
        d.compression = 2;
        d.width = 6;
        d.height = 2;
        d.colorsUsed = 6;
        d.palette = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006};
        Bytes b;
        b.u8(3).u8(0x12).u8(0).u8(3).u8(0x34).u8(0x50).u8(0).u8(0); // 1 2 1, then 3 4 5
        b.u8(6).u8(0x33).u8(0).u8(1);
        d.bits = b.s;
        QTest::newRow("RLE4") << d.build() << 6 << 2 << rgb({2, 3, 2, 4, 5, 6, 4, 4, 4, 4, 4, 4});
    }
}

void TestBitmap::decodes()
{
    QFETCH(QByteArray, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QByteArray, expected);

    const auto image = loadThroughFile(file);
    QVERIFY2(image, m_messages.empty() ? "no message" : m_messages.front().text.c_str());
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
    auto rle8 = [](std::int32_t w, std::int32_t h, const std::string &bits) {
        Dib d;
        d.bitCount = 8;
        d.compression = 1;
        d.width = w;
        d.height = h;
        d.colorsUsed = 2;
        d.palette = {0x111111, 0x222222};
        d.bits = bits;
        return d;
    };

    {
        Dib d = rgb24(1, 1);
        d.headerSize = 64;
        QTest::newRow("header size 64") << d.build() << format;
        d.headerSize = 16;
        QTest::newRow("header size 16") << d.build() << format;
    }
    QTest::newRow("file header only") << QByteArray("BM\x10\0\0\0\0\0\0\0\x0e\0\0\0", 14) << format;
    QTest::newRow("two bytes") << QByteArray("BM") << format;
    {
        Dib d = rgb24(1, 1);
        QByteArray cut = d.build().left(14 + 20);
        QTest::newRow("header cut short") << cut << conversion;
    }
    QTest::newRow("width 0") << rgb24(0, 1).build() << conversion;
    QTest::newRow("height 0") << rgb24(1, 0).build() << conversion;
    QTest::newRow("negative width") << rgb24(-4, 1).build() << conversion;
    {
        Dib d = rgb24(1, 1);
        d.width = 0x7FFFFFFF;
        d.height = 0x7FFFFFFF;
        QTest::newRow("huge both") << d.build() << memory;
        d.width = 40000;
        d.height = 40000; // each side fine, the product is not
        QTest::newRow("huge product") << d.build() << memory;
        d.width = 1;
        d.height = std::numeric_limits<std::int32_t>::min();
        QTest::newRow("most negative height") << d.build() << memory;
    }
    {
        Dib d = rgb24(2, 2);
        d.bits.resize(d.bits.size() - 8);
        QTest::newRow("pixel data cut short") << d.build() << conversion;
        Dib e = rgb24(2, 2);
        e.bitsOffset = 1 << 20;
        QTest::newRow("bits offset past the end") << e.build() << conversion;
        Dib f = rgb24(64, 64);
        f.bitsOffset = 14 + 40 + 8; // the rows would run past the end
        f.bits.resize(f.bits.size() - 64);
        QTest::newRow("bits offset leaves too little") << f.build() << conversion;
    }
    {
        Dib d = rowsAt(8, {{0}});
        d.colorsUsed = 257;
        d.palette = Pixels(257, 0);
        QTest::newRow("colours used 257") << d.build() << conversion;
        d.colorsUsed = 0xFFFFFFFF;
        d.palette.clear();
        QTest::newRow("colours used 2^32-1") << d.build() << conversion;
        d.colorsUsed = 0;
        d.palette = Pixels(10, 0); // 256 promised by the depth
        QTest::newRow("colour table past the end") << d.build() << conversion;
    }
    {
        Dib d = rowsAt(16, {{0}});
        d.compression = 3;
        d.masks[0] = 0xF800;
        d.masks[1] = 0;
        d.masks[2] = 0x1F;
        QTest::newRow("zero mask") << d.build() << conversion;
        d.masks[1] = 0x7E0;
        d.bitCount = 24;
        d.bits = packRows({{0}}, 24);
        QTest::newRow("masks on 24 bit") << d.build() << conversion;
        Dib cut = d;
        cut.bitCount = 16;
        QByteArray bytes = cut.build().left(14 + 40 + 6);
        QTest::newRow("masks cut short") << bytes << conversion;
    }
    {
        Dib d = rgb24(1, 1);
        d.compression = 4; // JPEG is for printers only
        QTest::newRow("JPEG compression") << d.build() << conversion;
        d.compression = 0;
        d.bitCount = 2;
        QTest::newRow("2 bits per pixel") << d.build() << conversion;
        d.bitCount = 0;
        QTest::newRow("0 bits per pixel") << d.build() << conversion;
    }
    {
        Bytes run;
        run.u8(0).u8(1);
        Dib d = rle8(2, 1, run.s);
        d.bitCount = 4;
        QTest::newRow("RLE8 on 4 bit") << d.build() << conversion;
        Dib t = rle8(2, -1, run.s);
        QTest::newRow("RLE top-down") << t.build() << conversion;
    }
    {
        Bytes b;
        b.u8(6).u8(1).u8(0).u8(1);
        QTest::newRow("RLE8 run past the row") << rle8(5, 1, b.s).build() << conversion;
    }
    {
        Bytes b;
        b.u8(0).u8(5).u8(1).u8(1).u8(1).u8(1).u8(1).u8(0).u8(0).u8(1);
        QTest::newRow("RLE8 absolute past the row") << rle8(4, 1, b.s).build() << conversion;
    }
    {
        Bytes b;
        b.u8(0).u8(2).u8(1).u8(5).u8(0).u8(1);
        QTest::newRow("RLE8 delta below the image") << rle8(2, 2, b.s).build() << conversion;
        Bytes c;
        c.u8(0).u8(2).u8(9).u8(0).u8(0).u8(1);
        QTest::newRow("RLE8 delta past the row") << rle8(2, 2, c.s).build() << conversion;
    }
    {
        Bytes b;
        b.u8(0).u8(0).u8(0).u8(0).u8(1).u8(1);
        QTest::newRow("RLE8 run below the last row") << rle8(1, 1, b.s).build() << conversion;
    }
    {
        Bytes b;
        b.u8(0).u8(20).u8(1).u8(1);
        QTest::newRow("RLE8 absolute past the data") << rle8(30, 1, b.s).build() << conversion;
        Bytes c;
        c.u8(2).u8(1);
        QTest::newRow("RLE8 ends before the image") << rle8(2, 2, c.s).build() << conversion;
        Bytes e;
        e.u8(0).u8(2).u8(1);
        QTest::newRow("RLE8 delta cut short") << rle8(2, 2, e.s).build() << conversion;
    }
    {
        Dib d;
        d.bitCount = 4;
        d.compression = 2;
        d.width = 3;
        d.height = 1;
        d.colorsUsed = 2;
        d.palette = {1, 2};
        Bytes b;
        b.u8(0).u8(4).u8(0x11).u8(0x11).u8(0).u8(1);
        d.bits = b.s;
        QTest::newRow("RLE4 absolute past the row") << d.build() << conversion;
    }
}

void TestBitmap::refuses()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);

    QVERIFY(!loadThroughFile(file));
    QCOMPARE(m_messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(m_messages.front().caption), QStringLiteral("Error"));
    QCOMPARE(QString::fromStdString(m_messages.front().text), message);

    // The in-memory entry takes the same path on an exact-size copy.
    m_messages.clear();
    std::vector<std::uint8_t> copy(file.begin(), file.end());
    QVERIFY(!LoadDIBImageFromMemory(copy.data(), copy.size(), "memory"));
    QCOMPARE(m_messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(m_messages.front().text), message);
}

void TestBitmap::unreadableFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << QStringLiteral("no-such.bmp");
    QTest::newRow("empty") << QStringLiteral("empty.bmp");
    QTest::newRow("directory") << QStringLiteral("folder.bmp");
}

void TestBitmap::unreadableFiles()
{
    QFETCH(QString, path);
    QFile empty(m_dir.filePath(QStringLiteral("empty.bmp")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QDir(m_dir.path()).mkpath(QStringLiteral("folder.bmp"));

    const QByteArray full = QFile::encodeName(m_dir.filePath(path));
    QVERIFY(!LoadDIBImage(full.constData()));
    QCOMPARE(m_messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(m_messages.front().caption), QStringLiteral("Error"));
    QCOMPARE(QString::fromStdString(m_messages.front().text),
             QStringLiteral("Failed to open DIB file %1.\n").arg(QString::fromLocal8Bit(full)));
}

QTEST_GUILESS_MAIN(TestBitmap)
#include "tst_bitmap.moc"
