#include "link/PrivateProfile.h"

#include "link/AtomicFile.h"

#include <climits>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace {

std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::optional<std::vector<std::string>> readLines(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> sectionOf(std::string_view line)
{
    line = trim(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string_view> keyOf(std::string_view line)
{
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = trim(line.substr(0, eq));
    if (!key.empty() && key.front() == ';')
        return std::nullopt;
    return key;
}

struct Location
{
    long sectionLine = -1; // index of the "[section]" line
    long keyLine = -1;     // index of the key's line within that section
    long lastContent = -1; // last non-blank line of the section (the header when empty)
};

Location locate(const std::vector<std::string> &lines, std::string_view section, std::string_view key)
{
    Location at;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionOf(lines[i])) {
            if (inSection)
                break;
            if (equalsNoCase(*name, section)) {
                inSection = true;
                at.sectionLine = at.lastContent = static_cast<long>(i);
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!trim(lines[i]).empty())
            at.lastContent = static_cast<long>(i);
        if (at.keyLine < 0) {
            const auto k = keyOf(lines[i]);
            if (k && equalsNoCase(*k, key))
                at.keyLine = static_cast<long>(i);
        }
    }
    return at;
}

bool writeAtomically(const std::string &path, const std::vector<std::string> &lines)
{
    std::string text;
    for (const auto &line : lines) {
        text += line;
        text += '\n';
    }
    return AtomicFile::Write(path, text).empty();
}

} // namespace

std::string PrivateProfile::GetString(const std::string &path, std::string_view section, std::string_view key,
                                      std::string_view defaultValue, size_t bufferSize)
{
    std::string value(trim(defaultValue));
    if (const auto lines = readLines(path)) {
        const Location at = locate(*lines, section, key);
        if (at.keyLine >= 0) {
            const std::string &line = (*lines)[static_cast<size_t>(at.keyLine)];
            std::string_view v = trim(std::string_view(line).substr(line.find('=') + 1));
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            value.assign(v);
        }
    }
    if (bufferSize == 0)
        return {};
    if (value.size() > bufferSize - 1)
        value.resize(bufferSize - 1);
    return value;
}

int PrivateProfile::GetInt(const std::string &path, std::string_view section, std::string_view key,
                           int defaultValue)
{
    return ToInt(GetString(path, section, key, std::to_string(defaultValue)));
}

bool PrivateProfile::WriteString(const std::string &path, std::string_view section, std::string_view key,
                                 std::string_view value)
{
    std::vector<std::string> lines = readLines(path).value_or(std::vector<std::string>{});
    const Location at = locate(lines, section, key);
    std::string entry = std::string(trim(key)) + "=" + std::string(value);
    if (at.keyLine >= 0) {
        // The stored spelling of the key stays; only its value changes.
        std::string &line = lines[static_cast<size_t>(at.keyLine)];
        line = std::string(*keyOf(line)) + "=" + std::string(value);
    } else if (at.sectionLine >= 0) {
        lines.insert(lines.begin() + at.lastContent + 1, std::move(entry));
    } else {
        lines.push_back("[" + std::string(trim(section)) + "]");
        lines.push_back(std::move(entry));
    }
    return writeAtomically(path, lines);
}

bool PrivateProfile::DeleteKey(const std::string &path, std::string_view section, std::string_view key)
{
    auto lines = readLines(path);
    if (!lines)
        return true;
    const Location at = locate(*lines, section, key);
    if (at.keyLine < 0)
        return true;
    lines->erase(lines->begin() + at.keyLine);
    return writeAtomically(path, *lines);
}

int PrivateProfile::ToInt(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    value = negative ? -value : value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}
