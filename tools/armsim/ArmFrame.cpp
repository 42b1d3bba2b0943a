#include "tools/armsim/ArmFrame.h"

#include "link/FrameChecksum.h"

#include <cstdio>

namespace {

// How the data of one command is cut into fields: fixed widths, then optionally one last field
// that takes the rest (a time or an ID printed with a minimum width only).
struct Layout
{
    int code;
    int length;
    std::vector<int> widths;
    int restMin; // 0: no open-ended last field
};

const std::vector<Layout> &layouts()
{
    static const std::vector<Layout> table = {
        {0x03, 2, {2}, 0},
        {0x04, 7, {2, 3}, 0},
        {0x05, 20, {2, 3, 3, 3, 3, 3, 3}, 4},
        {0x06, 2, {}, 2},
        {0x07, 0, {}, 0},
        {0x08, 2, {}, 2},
        {0x09, 1, {1}, 0},
        {0x0A, 2, {}, 2},
        {0x0C, 2, {2}, 0},
        // The order frames carry four colour digits; a fifth digit is taken as well.
        {0x0D, 6, {1, 1, 1, 1, 1}, 0},
        {0x0D, 6, {1, 1, 1, 1, 1, 1}, 0},
        {0x0E, 6, {1, 1, 1, 1, 1}, 0},
        {0x0E, 6, {1, 1, 1, 1, 1, 1}, 0},
        {0x0F, 1, {1}, 0},
        {0x10, 1, {2}, 0},
        {0x10, 2, {2}, 0},
        {0x11, 2, {2}, 0},
        {0x12, 2, {2}, 0},
        {0x13, 2, {1, 1}, 0},
        {0x14, 3, {3}, 0},
        {0x15, 1, {1}, 0},
    };
    return table;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string hex2(int value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02x", value & 0xff);
    return buffer;
}

// A decimal field as printf writes it: digits, or a minus sign and digits for a negative number.
bool parseField(std::string_view text, long long &value)
{
    constexpr size_t MaxDigits = 9;
    bool negative = false;
    if (!text.empty() && text.front() == '-' && text.size() > 1) {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > MaxDigits)
        return false;
    long long v = 0;
    for (char c : text) {
        if (!isDigit(c))
            return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool split(const Layout &layout, std::string_view data, std::vector<long long> &fields, std::string &bad)
{
    size_t fixed = 0;
    for (int w : layout.widths)
        fixed += static_cast<size_t>(w);
    if (layout.restMin == 0 ? data.size() != fixed : data.size() < fixed + static_cast<size_t>(layout.restMin))
        return false;
    fields.clear();
    size_t at = 0;
    auto take = [&](size_t width) {
        const std::string_view field = data.substr(at, width);
        at += width;
        long long value = 0;
        if (!parseField(field, value)) {
            bad = std::string(field);
            return false;
        }
        fields.push_back(value);
        return true;
    };
    for (int w : layout.widths)
        if (!take(static_cast<size_t>(w)))
            return true;
    if (layout.restMin > 0)
        take(data.size() - at);
    return true;
}

} // namespace

std::string ArmFrame::Decode(std::string_view text, ArmFrame &frame)
{
    constexpr size_t Shortest = 8; // "$" code length checksum "#"
    if (text.size() < Shortest || text.front() != '$' || text.back() != '#')
        return "not a frame";
    const int c1 = hexDigit(text[1]), c2 = hexDigit(text[2]);
    if (c1 < 0 || c2 < 0)
        return "command code '" + std::string(text.substr(1, 2)) + "' is not hexadecimal";
    if (!isDigit(text[3]) || !isDigit(text[4]))
        return "length field '" + std::string(text.substr(3, 2)) + "' is not decimal";
    const size_t sumAt = text.size() - 3;
    const int s1 = hexDigit(text[sumAt]), s2 = hexDigit(text[sumAt + 1]);
    if (s1 < 0 || s2 < 0)
        return "checksum '" + std::string(text.substr(sumAt, 2)) + "' is not hexadecimal";

    const int code = c1 * 16 + c2;
    const int length = (text[3] - '0') * 10 + (text[4] - '0');
    const std::string codeText = std::string(text.substr(1, 2));

    std::string expected;
    bool known = false;
    bool lengthFits = false;
    for (const Layout &l : layouts()) {
        if (l.code != code)
            continue;
        known = true;
        if (l.length == length)
            lengthFits = true;
        const std::string len = std::to_string(100 + l.length).substr(1);
        if (expected.find(len) == std::string::npos)
            expected += (expected.empty() ? "" : " or ") + len;
    }
    if (!known)
        return "unknown command code " + codeText;
    if (!lengthFits)
        return "length field " + std::string(text.substr(3, 2)) + " for code " + codeText + ", expected " + expected;

    const std::string_view data = text.substr(5, sumAt - 5);
    std::vector<long long> fields;
    std::string bad;
    bool fits = false;
    for (const Layout &l : layouts()) {
        if (l.code != code || l.length != length)
            continue;
        if (split(l, data, fields, bad)) {
            fits = true;
            break;
        }
    }
    if (!fits)
        return "data '" + std::string(data) + "' does not fit code " + codeText;
    if (!bad.empty())
        return "data field '" + bad + "' is not a number";

    long long sum = 0;
    for (long long v : fields)
        sum += v;
    const int want = FrameChecksum(code, length, {sum});
    const int got = s1 * 16 + s2;
    if (got != want)
        return "checksum " + std::string(text.substr(sumAt, 2)) + ", expected " + hex2(want);

    frame.code = code;
    frame.length = length;
    frame.fields = std::move(fields);
    frame.checksum = got;
    return {};
}
