#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// Reading the controller's replies. Replies carry no check the panel could rely on, so fields are
// read leniently rather than refused: each field is a leading decimal number (blanks, an optional sign, digits up
// to the first non-digit; no digit reads 0), a field window that runs past the end of the text is
// cut short, and one that starts beyond it reads 0. Nothing is range-checked here.
namespace ReplyParser {

constexpr int VersionCode = 1;
constexpr int JointAnglesCode = 3;

// Leading decimal number of at most `length` characters starting at `pos`.
int ReadNumber(std::string_view text, size_t pos, size_t length);

// The code field (characters 1 and 2): "01" is 1, "03" is 3, "0A" is 0.
int Code(std::string_view frame);

// "V<major>.<minor>" from the single characters 5 and 6.
std::string VersionText(std::string_view frame);

// The six servo angles of a joint-angle reply, servo 1 first, three characters each from the first
// "$" + 7 on. Empty when the text holds no "$" followed later by a "#".
std::optional<std::array<int, 6>> JointAngles(std::string_view text);

} // namespace ReplyParser
