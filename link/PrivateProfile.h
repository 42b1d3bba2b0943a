#pragma once

#include <string>
#include <string_view>

// INI files with the rules programs on the arm's other platform relied on: section and key names
// match case-insensitively, blanks around names and values are ignored, a value in matching quotes
// loses them, a read value is cut to the caller's buffer size (one place for the terminator, as
// there), and a write keeps every other line as it was and creates a missing file, section or key.
// Writes replace the file atomically, so a crash never leaves a half-written file.
class PrivateProfile
{
public:
    static constexpr size_t DefaultBufferSize = 260;

    static std::string GetString(const std::string &path, std::string_view section, std::string_view key,
                                 std::string_view defaultValue, size_t bufferSize = DefaultBufferSize);
    // Plain decimal conversion of the read text: a value that is not a number reads as 0.
    static int GetInt(const std::string &path, std::string_view section, std::string_view key,
                      int defaultValue);
    static bool WriteString(const std::string &path, std::string_view section, std::string_view key,
                            std::string_view value);
    static bool DeleteKey(const std::string &path, std::string_view section, std::string_view key);

    // Decimal conversion as the C library's atoi does it, without its undefined overflow.
    static int ToInt(std::string_view text);
};
