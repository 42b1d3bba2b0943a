#pragma once

#include <string>
#include <string_view>
#include <vector>

// One received command frame split into its fields. The length field is a constant per command and
// the data is cut by the command's own field widths, the way the checksum adds them up.
struct ArmFrame
{
    int code = 0;
    int length = 0;
    std::vector<long long> fields;
    int checksum = 0;

    // Fills frame from text ("$" to "#") and returns an empty string, or returns why the frame
    // is refused: malformed, unknown code, wrong length field, data that does not fit the command,
    // or a checksum that does not add up.
    static std::string Decode(std::string_view text, ArmFrame &frame);
};
