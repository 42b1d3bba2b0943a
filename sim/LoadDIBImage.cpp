#include "sim/LoadDIBImage.h"

#include "sim/LittleEndian.h"
#include "sim/WholeFile.h"

#include "sim/LoaderMessage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kErrorCaption[] = "Error";
constexpr char kOutOfMemory[] = "Out of memory.";
constexpr char kUnknownFormat[] = "Unknown DIB file format.";
constexpr char kConversionError[] = "Image file conversion error.";

// Larger images are refused before anything is allocated: a header can claim sizes whose
// products overflow, and no GL implementation takes a texture this big anyway.
constexpr std::int64_t kMaxSide = 65536;
// Bitmap files bigger than this are not texture files.
constexpr off_t kMaxBitmapFileSize = off_t(1) << 30;

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

struct Rgb
{
    std::uint8_t r = 0, g = 0, b = 0;
};

// One colour channel of a bit-field pixel scaled to 8 bits. Channels narrower than 8 bits repeat
// their bits downwards so that full scale maps to 255 (5 bits: v << 3 | v >> 2).
struct Channel
{
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m)
    {
        if (m != 0) {
            shift = std::countr_zero(m);
            bits = std::bit_width(m >> shift);
        }
    }

    std::uint8_t operator()(std::uint32_t pixel) const
    {
        const std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return static_cast<std::uint8_t>(v >> (bits - 8));
        std::uint32_t out = 0;
        for (int s = 8 - bits; s > -bits; s -= bits)
            out |= s >= 0 ? v << s : v >> -s;
        return static_cast<std::uint8_t>(out);
    }
};

struct Header
{
    std::uint32_t size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[3] = {0, 0, 0};
    bool core = false;
};

struct Failure
{
    const char *text;
};

class Decoder
{
public:
    Decoder(const std::uint8_t *data, std::size_t size, std::int64_t maxPixels)
        : m_data(data), m_size(size), m_maxPixels(std::min(maxPixels, kDIBMaxPixels))
    {
    }

    // Returns the image, or the message of the first thing wrong with the file.
    std::unique_ptr<ImageRecord> decode(const char **failure)
    {
        *failure = nullptr;
        const char *text = run();
        if (text) {
            *failure = text;
            return nullptr;
        }
        return std::move(m_image);
    }

private:
    bool fits(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }

    const char *run()
    {
        std::uint64_t headerAt = 0;
        std::uint64_t bitsAt = 0;
        bool fileHeader = false;
        if (m_size >= 2 && m_data[0] == 'B' && m_data[1] == 'M') {
            if (!fits(0, 18))
                return kUnknownFormat;
            fileHeader = true;
            bitsAt = u32(m_data + 10);
            headerAt = 14;
        }
        if (!fits(headerAt, 4))
            return kUnknownFormat;
        Header h;
        h.size = u32(m_data + headerAt);
        switch (h.size) {
        case 12:
        case 40:
        case 52:
        case 56:
        case 108:
        case 124:
            break;
        default:
            return kUnknownFormat;
        }
        if (!fits(headerAt, h.size))
            return kConversionError;
        const std::uint8_t *p = m_data + headerAt;
        if (h.size == 12) {
            h.core = true;
            h.width = u16(p + 4);
            h.height = u16(p + 6);
            h.bitCount = u16(p + 10);
        } else {
            h.width = static_cast<std::int32_t>(u32(p + 4));
            h.height = static_cast<std::int32_t>(u32(p + 8));
            h.bitCount = u16(p + 14);
            h.compression = u32(p + 16);
            h.colorsUsed = u32(p + 32);
        }

        // Bit-field masks sit in the larger headers, or right after a 40-byte one.
        std::uint64_t tableAt = headerAt + h.size;
        if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
            const std::uint8_t *m = p + 40;
            if (h.size == 40) {
                const std::uint64_t maskBytes = h.compression == kBitFields ? 12 : 16;
                if (!fits(tableAt, maskBytes))
                    return kConversionError;
                m = m_data + tableAt;
                tableAt += maskBytes;
            }
            for (int i = 0; i < 3; ++i)
                h.masks[i] = u32(m + 4 * i);
        }

        if (h.colorsUsed > 256)
            return kConversionError;
        std::uint32_t tableLength = h.colorsUsed;
        if (tableLength == 0 && h.bitCount <= 8 && (h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8))
            tableLength = 1u << h.bitCount;
        const std::uint64_t entrySize = h.core ? 3 : 4;
        if (!fits(tableAt, tableLength * entrySize))
            return kConversionError;
        for (std::uint32_t i = 0; i < tableLength; ++i) {
            const std::uint8_t *e = m_data + tableAt + i * entrySize;
            m_palette[i] = Rgb{e[2], e[1], e[0]};
        }
        m_paletteLength = tableLength;
        if (!fileHeader)
            bitsAt = tableAt + tableLength * entrySize;
        if (bitsAt > m_size)
            return kConversionError;

        if (h.width <= 0 || h.height == 0)
            return kConversionError;
        const std::int64_t rows = h.height < 0 ? -h.height : h.height;
        if (h.width > kMaxSide || rows > kMaxSide || h.width * rows > m_maxPixels)
            return kOutOfMemory;

        if (const char *bad = checkLayout(h))
            return bad;
        // Uncompressed rows must all be in the file before anything is allocated for them. The last
        // row may lack its padding; everything else must be there.
        const std::uint64_t rowBytes = (static_cast<std::uint64_t>(h.width) * h.bitCount + 7) / 8;
        const std::uint64_t stride = (static_cast<std::uint64_t>(h.width) * h.bitCount + 31) / 32 * 4;
        const bool compressed = h.compression == kRle8 || h.compression == kRle4;
        if (!compressed && !fits(bitsAt, stride * static_cast<std::uint64_t>(rows - 1) + rowBytes))
            return kConversionError;

        m_width = h.width;
        m_rows = rows;
        m_image = std::make_unique<ImageRecord>();
        m_image->width = static_cast<std::int32_t>(h.width);
        m_image->height = static_cast<std::int32_t>(rows);
        m_image->data.assign(static_cast<std::size_t>(h.width * rows * 3), 0);

        switch (h.compression) {
        case kRle8:
        case kRle4:
            return decodeRle(bitsAt, h.compression == kRle4);
        default:
            return decodePlain(h, bitsAt, stride);
        }
    }

    static const char *checkLayout(const Header &h)
    {
        switch (h.compression) {
        case kRgb:
            switch (h.bitCount) {
            case 1:
            case 4:
            case 8:
            case 16:
            case 24:
            case 32:
                return nullptr;
            default:
                return kConversionError;
            }
        case kRle8:
            return h.bitCount == 8 && h.height > 0 ? nullptr : kConversionError;
        case kRle4:
            return h.bitCount == 4 && h.height > 0 ? nullptr : kConversionError;
        case kBitFields:
        case kAlphaBitFields:
            if (h.bitCount != 16 && h.bitCount != 32)
                return kConversionError;
            if (h.masks[0] == 0 || h.masks[1] == 0 || h.masks[2] == 0)
                return kConversionError;
            return nullptr;
        default:
            return kConversionError;
        }
    }

    std::uint8_t *pixel(std::int64_t x, std::int64_t rowFromBottom)
    {
        return m_image->data.data() + (rowFromBottom * m_width + x) * 3;
    }

    void putIndex(std::int64_t x, std::int64_t row, std::uint32_t index)
    {
        const Rgb c = index < m_paletteLength ? m_palette[index] : Rgb{};
        std::uint8_t *out = pixel(x, row);
        out[0] = c.r;
        out[1] = c.g;
        out[2] = c.b;
    }

    const char *decodePlain(const Header &h, std::uint64_t bitsAt, std::uint64_t stride)
    {
        std::uint32_t masks[3] = {h.masks[0], h.masks[1], h.masks[2]};
        if (h.compression == kRgb && h.bitCount == 16) {
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
        } else if (h.compression == kRgb && h.bitCount == 32) {
            masks[0] = 0xFF0000;
            masks[1] = 0x00FF00;
            masks[2] = 0x0000FF;
        }
        const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
        const bool topDown = h.height < 0;

        for (std::int64_t r = 0; r < m_rows; ++r) {
            const std::uint8_t *src = m_data + bitsAt + r * stride;
            const std::int64_t row = topDown ? m_rows - 1 - r : r;
            for (std::int64_t x = 0; x < m_width; ++x) {
                switch (h.bitCount) {
                case 1:
                    putIndex(x, row, (src[x >> 3] >> (7 - (x & 7))) & 1);
                    break;
                case 4:
                    putIndex(x, row, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
                    break;
                case 8:
                    putIndex(x, row, src[x]);
                    break;
                case 24: {
                    std::uint8_t *out = pixel(x, row);
                    out[0] = src[3 * x + 2];
                    out[1] = src[3 * x + 1];
                    out[2] = src[3 * x];
                    break;
                }
                default: {
                    const std::uint32_t v = h.bitCount == 16 ? u16(src + 2 * x) : u32(src + 4 * x);
                    std::uint8_t *out = pixel(x, row);
                    out[0] = red(v);
                    out[1] = green(v);
                    out[2] = blue(v);
                    break;
                }
                }
            }
        }
        return nullptr;
    }

    // Run-length encoded bottom-up bitmaps. Pixels the runs skip stay black. A run or delta that
    // leaves the row or the image, or data that ends before the image is finished, is refused.
    const char *decodeRle(std::uint64_t at, bool fourBit)
    {
        std::int64_t x = 0;
        std::int64_t y = 0;
        for (;;) {
            if (!fits(at, 2))
                return y >= m_rows ? nullptr : kConversionError;
            const std::uint32_t count = m_data[at];
            const std::uint32_t value = m_data[at + 1];
            at += 2;
            if (count > 0) {
                if (y >= m_rows || x + count > m_width)
                    return kConversionError;
                for (std::uint32_t i = 0; i < count; ++i, ++x)
                    putIndex(x, y, fourBit ? ((i & 1) ? value & 0x0F : value >> 4) : value);
                continue;
            }
            switch (value) {
            case 0: // end of line
                x = 0;
                ++y;
                if (y > m_rows)
                    return kConversionError;
                break;
            case 1: // end of bitmap
                return nullptr;
            case 2: { // delta
                if (!fits(at, 2))
                    return kConversionError;
                x += m_data[at];
                y += m_data[at + 1];
                at += 2;
                if (x > m_width || y > m_rows)
                    return kConversionError;
                break;
            }
            default: { // absolute run of `value` pixels, padded to a 16-bit boundary
                const std::uint64_t bytes = fourBit ? (value + 1) / 2 : value;
                const std::uint64_t padded = (bytes + 1) & ~std::uint64_t(1);
                if (y >= m_rows || x + value > m_width || !fits(at, bytes))
                    return kConversionError;
                const std::uint8_t *src = m_data + at;
                for (std::uint32_t i = 0; i < value; ++i, ++x)
                    putIndex(x, y, fourBit ? ((i & 1) ? src[i / 2] & 0x0F : src[i / 2] >> 4) : src[i]);
                at += fits(at, padded) ? padded : bytes;
                break;
            }
            }
        }
    }

    const std::uint8_t *m_data;
    std::size_t m_size;
    std::int64_t m_maxPixels;
    std::array<Rgb, 256> m_palette{};
    std::uint32_t m_paletteLength = 0;
    std::int64_t m_width = 0;
    std::int64_t m_rows = 0;
    std::unique_ptr<ImageRecord> m_image;
};

std::string openFailureText(const char *name)
{
    return std::string("Failed to open DIB file ") + (name ? name : "") + ".\n";
}

} // namespace

std::unique_ptr<ImageRecord> LoadDIBImageFromMemory(const std::uint8_t *data, std::size_t size, const char *name,
                                                    std::int64_t maxPixels)
{
    if (!data || size == 0) {
        ShowLoaderMessage(kErrorCaption, openFailureText(name));
        return nullptr;
    }
    Decoder decoder(data, size, maxPixels);
    const char *failure = nullptr;
    auto image = decoder.decode(&failure);
    if (!image)
        ShowLoaderMessage(kErrorCaption, failure ? failure : kConversionError);
    return image;
}

std::unique_ptr<ImageRecord> LoadDIBImage(const char *path)
{
    std::vector<std::uint8_t> bytes;
    bool tooBig = false;
    if (!ReadWholeFile(path, kMaxBitmapFileSize, bytes, &tooBig)) {
        ShowLoaderMessage(kErrorCaption, tooBig ? std::string(kOutOfMemory) : openFailureText(path));
        return nullptr;
    }
    return LoadDIBImageFromMemory(bytes.data(), bytes.size(), path);
}

std::unique_ptr<ImageRecord> LoadDIBImageQuietly(const char *path)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxBitmapFileSize, bytes))
        return nullptr;
    const char *failure = nullptr;
    return Decoder(bytes.data(), bytes.size(), kDIBMaxPixels).decode(&failure);
}
