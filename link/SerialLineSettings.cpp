#include "link/SerialLineSettings.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace {

std::optional<unsigned> toUnsigned(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::string SerialLineSettings::ModeText(unsigned baud, char parity, unsigned dataBits, unsigned stopBits)
{
    char text[96];
    std::snprintf(text, sizeof text, "baud=%u parity=%c data=%u stop=%u", baud, parity, dataBits, stopBits);
    return text;
}

bool SerialLineSettings::ApplyModeText(std::string_view mode)
{
    SerialLineSettings result = *this;
    size_t pos = 0;
    while (pos < mode.size()) {
        while (pos < mode.size() && (mode[pos] == ' ' || mode[pos] == '\t'))
            ++pos;
        if (pos >= mode.size())
            break;
        size_t end = pos;
        while (end < mode.size() && mode[end] != ' ' && mode[end] != '\t')
            ++end;
        const std::string_view item = mode.substr(pos, end - pos);
        pos = end;

        const size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            return false;
        const std::string key = lower(item.substr(0, eq));
        const std::string_view value = item.substr(eq + 1);
        if (key == "baud") {
            const auto baud = toUnsigned(value);
            if (!baud || *baud == 0)
                return false;
            result.baud = *baud;
        } else if (key == "parity") {
            if (value.size() != 1)
                return false;
            const char p = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
            if (p != 'N' && p != 'E' && p != 'O' && p != 'M' && p != 'S')
                return false;
            result.parity = p;
        } else if (key == "data") {
            const auto bits = toUnsigned(value);
            if (!bits || *bits < 5 || *bits > 8)
                return false;
            result.dataBits = *bits;
        } else if (key == "stop") {
            const auto bits = toUnsigned(value);
            if (!bits || (*bits != 1 && *bits != 2))
                return false;
            result.stopBits = *bits;
        } else {
            return false;
        }
    }
    *this = result;
    return true;
}
