#include "link/CommandFrames.h"

#include "link/FrameChecksum.h"

#include <cstdarg>
#include <cstdio>

namespace CommandFrames {

namespace {

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char *fmt, ...)
{
    char buffer[128];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    if (n < 0)
        return {};
    return std::string(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

std::string order(int code, bool start, std::string_view order)
{
    std::string digits(order.substr(0, 4));
    digits.resize(4, '0');
    long long sum = 0;
    for (char c : digits)
        sum += c - '0';
    const int checksum = FrameChecksum(code, 6, {start ? 1 : 0, sum});
    return format("$%02X06%d%s%02x#", code, start ? 1 : 0, digits.c_str(), checksum);
}

} // namespace

std::string RequestAngles() { return "$0302060b#"; }

std::string SingleServo(int servo, int angle)
{
    return format("$0407%02d%03d%02x#", servo, angle, FrameChecksum(0x04, 7, {servo, angle}));
}

std::string AllServos(const std::array<int, 6> &a, int timeMs)
{
    const int checksum = FrameChecksum(0x05, 20, {6, a[0], a[1], a[2], a[3], a[4], a[5], timeMs});
    return format("$052006%03d%03d%03d%03d%03d%03d%04d%02x#", a[0], a[1], a[2], a[3], a[4], a[5],
                  timeMs, checksum);
}

std::string WriteServoId(int id)
{
    return format("$0602%02d%02x#", id, FrameChecksum(0x06, 2, {id}));
}

std::string Middle() { return "$070007#"; }

std::string RunAction(int number)
{
    return format("$0802%02d%02x#", number, FrameChecksum(0x08, 2, {number}));
}

std::string Stop() { return "$090100a#"; }
std::string Restore() { return "$090110b#"; }

std::string SetMedian(int id)
{
    return format("$0A02%02d%02x#", id, FrameChecksum(0x0A, 2, {id}));
}

std::string RestoreMedians() { return "$0A02000c#"; }

std::string SetLight(Light light)
{
    switch (light) {
    case Light::Red: return "$0C02010F#";
    case Light::Green: return "$0C020210#";
    case Light::Blue: return "$0C020311#";
    case Light::On: return "$0C020412#";
    case Light::Off: break;
    }
    return "$0C02000E#";
}

std::string FaceTracking(bool start)
{
    return start ? format("$0F011%x#", FrameChecksum(0x0F, 1, {1}))
                 : format("$0F010%x#", FrameChecksum(0x0F, 1, {0}));
}

std::string ColourTracking(int colour)
{
    return format("$1001%02d%x#", colour, FrameChecksum(0x10, 1, {colour}));
}

std::string ColourInteraction() { return "$10020517#"; }
std::string StartTracking() { return "$10020618#"; }

std::string CalibrationArea(CalibrationStep step)
{
    switch (step) {
    case CalibrationStep::Confirm: return "$11020215#";
    case CalibrationStep::Cancel: return "$11020316#";
    case CalibrationStep::Start: break;
    }
    return "$11020114#";
}

std::string CalibrateColour(CalibrationStep step, int colour)
{
    const int s = static_cast<int>(step);
    return format("$1302%d%d%02x#", s, colour, FrameChecksum(0x13, 2, {s, colour}));
}

std::string MoveArea(AreaMove move)
{
    switch (move) {
    case AreaMove::Down: return "$1501218#";
    case AreaMove::Left: return "$1501319#";
    case AreaMove::Right: return "$150141A#";
    case AreaMove::Up: break;
    }
    return "$1501117#";
}

std::string Threshold(int position)
{
    return format("$1403%03d%02x#", position, FrameChecksum(0x14, 3, {position}));
}

std::string ColourSorting(bool start, std::string_view o) { return order(0x0D, start, o); }
std::string ColourStacking(bool start, std::string_view o) { return order(0x0E, start, o); }

std::string GarbageRecognition() { return "$12020115#"; }
std::string GarbageSorting() { return "$12020216#"; }

} // namespace CommandFrames
