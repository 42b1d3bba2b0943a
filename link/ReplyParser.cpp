#include "link/ReplyParser.h"

#include "link/PrivateProfile.h"

namespace ReplyParser {

int ReadNumber(std::string_view text, size_t pos, size_t length)
{
    if (pos >= text.size())
        return 0;
    return PrivateProfile::ToInt(text.substr(pos, length));
}

int Code(std::string_view frame)
{
    return ReadNumber(frame, 1, 2);
}

std::string VersionText(std::string_view frame)
{
    return "V" + std::to_string(ReadNumber(frame, 5, 1)) + "." + std::to_string(ReadNumber(frame, 6, 1));
}

std::optional<std::array<int, 6>> JointAngles(std::string_view text)
{
    const size_t start = text.find('$');
    const size_t end = text.find('#');
    if (start == std::string_view::npos || end == std::string_view::npos || end <= start)
        return std::nullopt;
    std::array<int, 6> angles{};
    for (size_t k = 0; k < angles.size(); ++k)
        angles[k] = ReadNumber(text, start + 7 + 3 * k, 3);
    return angles;
}

} // namespace ReplyParser
