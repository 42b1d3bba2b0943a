#pragma once

#include <array>
#include <string>

// The frames the stand-in sends back, built like the command frames: code, fixed length field,
// data, lower-case checksum of the same rule.
namespace ReplyFrames {

std::string Version(int major, int minor);               // $0102<major><minor>%02x#
std::string JointAngles(const std::array<int, 6> &angles); // $032006 + six %03d + %02x#

} // namespace ReplyFrames
