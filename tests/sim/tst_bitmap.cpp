#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"

#include <QTest>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Pixels = std::vector<std::uint32_t>; // 0xRRGGBB per pixel

struct Bytes // little-endian fields
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
    std::int32_t width = 0, height = 0;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0, colorsUsed = 0;
    Pixels palette;
    std::uint32_t masks[4] = {}; // red, green, blue, alpha
    std::string bits;
    bool fileHeader = true;
    std::int64_t bitsOffset = -1; // -1: where the bits really start

    QByteArray build() const
    {
        Bytes h;
        if (headerSize == 12) {
            h.u32(12).u16(width).u16(height).u16(1).u16(bitCount);
        } else {
            h.u32(headerSize).u32(width).u32(height).u16(1).u16(bitCount).u32(compression).u32(0).u32(2835).u32(2835).u32(colorsUsed).u32(0);
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
        if (fileHeader)
            file.u16('B' | 'M' << 8).u32(std::uint32_t(14 + h.s.size() + bits.size())).u32(0)
                .u32(std::uint32_t(bitsOffset >= 0 ? bitsOffset : std::int64_t(14 + h.s.size())));
        file.s += h.s + bits;
        return QByteArray(file.s.data(), qsizetype(file.s.size()));
    }
    Dib &set(auto &&change) { return change(*this), *this; }
};

// An uncompressed bitmap of rows (bottom row first) of raw pixel values at a depth: palette indices
// packed most significant first, or little-endian pixels (24-bit 0xRRGGBB goes out as blue, green,
// red); each row padded to 4 bytes.
Dib rowsAt(std::uint16_t bitCount, const std::vector<Pixels> &rows, const Pixels &palette = {}, std::uint32_t colorsUsed = 0)
{
    Dib d{.width = std::int32_t(rows.front().size()), .height = std::int32_t(rows.size()), .bitCount = bitCount,
          .colorsUsed = colorsUsed, .palette = palette, .bits = {}};
    for (const Pixels &row : rows) {
        Bytes b;
        std::uint32_t acc = 0;
        int used = 0;
        for (std::uint32_t v : row) {
            if (bitCount >= 8)
                b.put(v, bitCount / 8);
            else if (acc = (acc << bitCount) | v; (used += bitCount) == 8)
                b.put(acc, 1), acc = 0, used = 0;
        }
        if (used > 0)
            b.put(acc << (8 - used), 1);
        b.s.resize((b.s.size() + 3) / 4 * 4, '\0');
        d.bits += b.s;
    }
    return d;
}

// A run-length bitmap (bottom-up unless height is negative) of the given code bytes.
Dib rle(std::uint16_t bitCount, std::int32_t width, std::int32_t height, const Pixels &palette, const std::vector<std::uint8_t> &codes,
        std::uint32_t compression = 0)
{
    return {.width = width, .height = height, .bitCount = bitCount, .compression = compression ? compression : bitCount == 8 ? 1u : 2u,
            .colorsUsed = std::uint32_t(palette.size()), .palette = palette, .bits = {codes.begin(), codes.end()}};
}

// The colours of the pixels, or of the palette entries the indices name, as RGB bytes.
QByteArray rgb(const Pixels &pixels, const Pixels &palette = {})
{
    QByteArray out;
    for (std::uint32_t c : pixels) {
        c = palette.empty() ? c : palette[c];
        out.append(char((c >> 16) & 0xFF)).append(char((c >> 8) & 0xFF)).append(char(c & 0xFF));
    }
    return out;
}

} // namespace

class TestBitmap : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_messages.clear();
        SetLoaderMessageHook([this](const std::string &caption, const std::string &text) { m_messages << QString::fromStdString(caption + "|" + text); });
    }
    void cleanup() { SetLoaderMessageHook({}); }

    void decodes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("expected"); // bottom row first
        auto row = [](const char *name, const Dib &d, int w, int h, const QByteArray &rgb) { QTest::newRow(name) << d.build() << QSize(w, h) << rgb; };
        const Pixels four = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080, 0x123456,
                             0xABCDEF, 0x010203, 0xFEDCBA, 0x7F7F7F, 0xC0C0C0, 0x0F0F0F, 0xF0F0F0, 0x55AA55};
        const Pixels two = {0x112233, 0xAABBCC};
        row("1 bit, rows crossing a byte", rowsAt(1, {{1, 0, 1, 1, 0, 0, 0, 1, 0, 1}, {0, 1, 0, 0, 1, 1, 1, 0, 1, 0}}, two), 10, 2,
            rgb({1, 0, 1, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0}, two));
        row("4 bit, odd width", rowsAt(4, {{0, 1, 2, 3, 15}, {14, 13, 12, 11, 10}}, four), 5, 2, rgb({0, 1, 2, 3, 15, 14, 13, 12, 11, 10}, four));
        row("4 bit, index past the table is black", rowsAt(4, {{2, 9, 0}}, {0x010101, 0x020202, 0x030303}, 3), 3, 1, rgb({0x030303, 0x000000, 0x010101}));
        Pixels all;
        for (std::uint32_t i = 0; i < 256; ++i)
            all.push_back((i << 16) | ((255 - i) << 8) | (i ^ 0x55));
        // Without a file header the bits must be found behind all 256 entries, or behind 16.
        row("8 bit, 256 colours, no file header", rowsAt(8, {{0, 200, 255}, {1, 128, 254}}, all, 256).set([](Dib &d) { d.fileHeader = false; }), 3, 2,
            rgb({0, 200, 255, 1, 128, 254}, all));
        row("8 bit, 16 colours, no file header", rowsAt(8, {{15, 7, 0, 3}}, four, 16).set([](Dib &d) { d.fileHeader = false; }), 4, 1,
            rgb({15, 7, 0, 3}, four));
        row("core header, 3-byte table", rowsAt(8, {{3, 4}, {250, 9}}, all).set([](Dib &d) { d.headerSize = 12; }), 2, 2, rgb({3, 4, 250, 9}, all));
        // 5-5-5: full scale maps to 255, 16 to 132 (bits repeated downwards).
        row("16 bit 5-5-5", rowsAt(16, {{0x7FFF, 0x7C00, 0x0210, 0x8000}}), 4, 1, rgb({0xFFFFFF, 0xFF0000, 0x008484, 0x000000}));
        row("16 bit 5-6-5 masks behind info header", rowsAt(16, {{0xF800, 0x07E0, 0x0841}}).set([](Dib &d) {
            d.compression = 3, d.masks[0] = 0xF800, d.masks[1] = 0x07E0, d.masks[2] = 0x001F;
        }), 3, 1, rgb({0xFF0000, 0x00FF00, 0x080808}));
        const Pixels px = {0x010203, 0x040506, 0x070809, 0xA1A2A3, 0xB1B2B3, 0xC1C2C3};
        Dib d = rowsAt(24, {{px[0], px[1], px[2]}, {px[3], px[4], px[5]}}); // 9 bytes a row, 3 padding
        d.bits.resize(d.bits.size() - 3); // the last row's padding is often left out
        row("24 bit, last row unpadded", d, 3, 2, rgb(px));
        row("24 bit, top-down", d.set([](Dib &d) { d.height = -2; }), 3, 2, rgb({px[3], px[4], px[5], px[0], px[1], px[2]}));
        row("32 bit", rowsAt(32, {{0xFF123456, 0x00ABCDEF}}), 2, 1, rgb({0x123456, 0xABCDEF}));
        row("32 bit masks in 124-byte header", rowsAt(32, {{0x00332211, 0x00CCBBAA}}).set([](Dib &d) { // red in the low byte
            d.headerSize = 124, d.compression = 3, d.masks[0] = 0x000000FF, d.masks[1] = 0x0000FF00, d.masks[2] = 0x00FF0000;
        }), 2, 1, rgb({0x112233, 0xAABBCC}));
        row("32 bit 10-10-10 alpha masks, 56-byte header", rowsAt(32, {{(0x3FFu << 20) | (0x200u << 10) | 0x004u}}).set([](Dib &d) {
            d.headerSize = 56, d.compression = 6, d.masks[0] = 0x3FF00000, d.masks[1] = 0x000FFC00, d.masks[2] = 0x000003FF, d.masks[3] = 0xC0000000;
        }), 1, 1, rgb({0xFF8001}));
        // Run-length rows; every run, absolute run and delta below ends exactly on the row's or the
        // image's last valid position.
        const Pixels five = {0x000010, 0x000020, 0x000030, 0x000040, 0x000050};
        // Row 0: run of 2 x index 1, absolute run 2 3 4. Row 1: skip 1 pixel, index 2, rest unwritten.
        row("RLE8", rle(8, 5, 2, five, {2, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 0, 1, 2, 0, 1}), 5, 2, rgb({0x20, 0x20, 0x30, 0x40, 0x50, 0, 0x30, 0, 0, 0}));
        row("RLE8, image complete without end mark", rle(8, 2, 1, five, {2, 1, 0, 0}), 2, 1, rgb({0x20, 0x20}));
        row("RLE8, delta to the row end and the image top", rle(8, 2, 2, five, {1, 3, 0, 2, 1, 0, 0, 2, 0, 2, 0, 1}), 2, 2, rgb({0x40, 0, 0, 0}));
        // 1 2 1, then 3 4 5; then six of 4.
        row("RLE4", rle(4, 6, 2, {1, 2, 3, 4, 5, 6}, {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 6, 0x33, 0, 1}), 6, 2, rgb({2, 3, 2, 4, 5, 6, 4, 4, 4, 4, 4, 4}));
    }
    void decodes()
    {
        QFETCH(QByteArray, file); QFETCH(QSize, size); QFETCH(QByteArray, expected);
        const auto image = loadThroughFile(file);
        QVERIFY2(image, qPrintable(m_messages.join(' ')));
        QCOMPARE(QSize(image->width, image->height), size);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(image->data.data()), qsizetype(image->data.size())).toHex(' '), expected.toHex(' '));
        QVERIFY(m_messages.empty());
    }
    void refuses_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        const QString format = QStringLiteral("Unknown DIB file format."), conversion = QStringLiteral("Image file conversion error."),
                      memory = QStringLiteral("Out of memory.");
        auto rgb24 = [](std::int32_t w, std::int32_t h) {
            return rowsAt(24, std::vector<Pixels>(std::size_t(std::max(1, std::abs(h))), Pixels(std::size_t(w), 0x808080))).set([h](Dib &d) { d.height = h; });
        };
        auto sized = [&rgb24](std::int32_t w, std::int32_t h) { return rgb24(1, 1).set([=](Dib &d) { d.width = w, d.height = h; }); };
        const Pixels two = {0x111111, 0x222222};
        auto row = [](const char *name, const Dib &d, const QString &message) { QTest::newRow(name) << d.build() << message; };
        auto cut = [](const char *name, const Dib &d, int length, const QString &message) { QTest::newRow(name) << d.build().left(length) << message; };

        row("header size 64", rgb24(1, 1).set([](Dib &d) { d.headerSize = 64; }), format);
        QTest::newRow("file header only") << QByteArray("BM\x10\0\0\0\0\0\0\0\x0e\0\0\0", 14) << format;
        cut("header cut short", rgb24(1, 1), 14 + 20, conversion);
        row("width 0", rgb24(0, 1), conversion);
        row("height 0", rgb24(1, 0), conversion);
        row("huge product", sized(40000, 40000), memory); // each side fine, the product is not
        row("one pixel wider than the limit", sized(65537, 1), memory);
        row("most negative height", sized(1, std::numeric_limits<std::int32_t>::min()), memory);
        // One byte short of an unpadded last row.
        row("pixel data one byte short", rgb24(3, 2).set([](Dib &d) { d.bits.resize(d.bits.size() - 4); }), conversion);
        row("bits offset past the end", rgb24(2, 2).set([](Dib &d) { d.bitsOffset = 1 << 20; }), conversion);
        row("colours used 257", rowsAt(8, {{0}}, Pixels(257, 0), 257), conversion);
        row("colour table past the end", rowsAt(8, {{0}}, Pixels(10, 0)), conversion); // 256 promised by the depth
        Dib d = rowsAt(16, {{0}}).set([](Dib &d) { d.compression = 3, d.masks[0] = 0xF800, d.masks[2] = 0x1F; });
        row("zero mask", d, conversion);
        d.masks[1] = 0x7E0;
        cut("masks cut short", d, 14 + 40 + 6, conversion);
        row("masks on 24 bit", d.set([](Dib &d) { d.bitCount = 24, d.bits = rowsAt(24, {{0}}).bits; }), conversion);
        row("JPEG compression", rgb24(1, 1).set([](Dib &d) { d.compression = 4; }), conversion); // JPEG is for printers only
        row("2 bits per pixel", rgb24(1, 1).set([](Dib &d) { d.bitCount = 2; }), conversion);
        row("RLE8 on 4 bit", rle(8, 2, 1, two, {0, 1}).set([](Dib &d) { d.bitCount = 4; }), conversion);
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
    void refuses()
    {
        QFETCH(QByteArray, file); QFETCH(QString, message);
        QVERIFY(!loadThroughFile(file));
        QCOMPARE(m_messages, QStringList{"Error|" + message});
        // The in-memory entry takes the same path on an exact-size copy.
        m_messages.clear();
        std::vector<std::uint8_t> copy(file.begin(), file.end());
        QVERIFY(!LoadDIBImageFromMemory(copy.data(), copy.size(), "memory"));
        QCOMPARE(m_messages, QStringList{"Error|" + message});
    }
    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message"); // empty: the open failure
        QTest::newRow("missing") << QStringLiteral("no-such.bmp") << QString();
        QTest::newRow("empty") << QStringLiteral("empty.bmp") << QString();
        QTest::newRow("directory") << QStringLiteral("folder.bmp") << QString();
        // Announces 4096 bytes and reads a few before its end: what was read is taken, and its 0-byte
        // read ends the loop.
        QTest::newRow("shorter than announced") << QStringLiteral("/sys/devices/system/cpu/online") << QStringLiteral("Unknown DIB file format.");
    }
    void unreadableFiles()
    {
        QFETCH(QString, path); QFETCH(QString, message);
        QVERIFY(QFile(m_dir.filePath(QStringLiteral("empty.bmp"))).open(QIODevice::WriteOnly));
        QDir(m_dir.path()).mkpath(QStringLiteral("folder.bmp"));
        const QString full = QDir(m_dir.path()).absoluteFilePath(path);
        if (!QFile::exists(full) && !message.isEmpty())
            QSKIP("no such file on this system");
        QVERIFY(!LoadDIBImage(QFile::encodeName(full).constData()));
        QCOMPARE(m_messages, QStringList{"Error|" + (message.isEmpty() ? QStringLiteral("Failed to open DIB file %1.\n").arg(full) : message)});
    }

private:
    QStringList m_messages; // caption|text
    QTemporaryDir m_dir;

    std::unique_ptr<ImageRecord> loadThroughFile(const QByteArray &bytes)
    {
        QFile file(m_dir.filePath(QStringLiteral("image.bmp")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return nullptr;
        file.close();
        return LoadDIBImage(QFile::encodeName(file.fileName()).constData());
    }
};

QTEST_GUILESS_MAIN(TestBitmap)
#include "tst_bitmap.moc"
