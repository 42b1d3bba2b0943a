#include "link/ReplyFrames.h"

#include "link/FrameChecksum.h"

#include <cstdio>

namespace ReplyFrames {

std::string Version(int major, int minor)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "$0102%d%d%02x#", major, minor, FrameChecksum(0x01, 2, {major, minor}));
    return buffer;
}

std::string JointAngles(const std::array<int, 6> &a)
{
    char buffer[64];
    const int checksum = FrameChecksum(0x03, 20, {6, a[0], a[1], a[2], a[3], a[4], a[5]});
    std::snprintf(buffer, sizeof buffer, "$032006%03d%03d%03d%03d%03d%03d%02x#", a[0], a[1], a[2], a[3], a[4],
                  a[5], checksum);
    return buffer;
}

} // namespace ReplyFrames
