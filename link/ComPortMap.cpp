#include "link/ComPortMap.h"

#include "link/PrivateProfile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// Unix98 pseudo-terminal slaves use majors 136 to 143.
bool isPseudoTerminal(const struct stat &st)
{
    const unsigned major = ::major(st.st_rdev);
    return S_ISCHR(st.st_mode) && major >= 136 && major <= 143;
}

std::string readFirstLine(const std::filesystem::path &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

std::string ComPortMap::DefaultDevicePath(unsigned comNumber)
{
    if (comNumber >= 1 && comNumber <= 32)
        return "/dev/ttyUSB" + std::to_string(comNumber - 1);
    if (comNumber >= 33 && comNumber <= 64)
        return "/dev/ttyACM" + std::to_string(comNumber - 33);
    if (comNumber >= 65 && comNumber <= 96)
        return "/dev/ttyS" + std::to_string(comNumber - 65);
    return {};
}

std::string ComPortMap::DevicePathFor(unsigned comNumber, const std::string &configPath)
{
    if (comNumber == 0)
        return {};
    const std::string key = "COM" + std::to_string(comNumber);
    std::string configured = PrivateProfile::GetString(configPath, "com_ports", key, "", 4096);
    if (!configured.empty())
        return configured;
    return DefaultDevicePath(comNumber);
}

bool ComPortMap::IsSerialDevice(const std::string &devicePath, bool configured, const std::string &sysClassTty)
{
    namespace fs = std::filesystem;
    struct stat st{};
    if (devicePath.empty() || ::stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    if (isPseudoTerminal(st))
        return configured;

    // Name the kernel gives the device, through any /dev/serial/by-id link.
    std::error_code ec;
    const fs::path real = fs::canonical(devicePath, ec);
    if (ec)
        return false;
    const fs::path entry = fs::path(sysClassTty) / real.filename();
    if (!fs::exists(entry / "device", ec))
        return false; // virtual terminals, consoles and non-tty character devices
    // The kernel creates ttyS0-31 whether or not a UART sits behind them; serial-core reports
    // an absent one as type 0.
    const std::string type = readFirstLine(entry / "type");
    if (!type.empty() && std::atoi(type.c_str()) == 0)
        return false;
    // The sysfs entry must belong to the device that exists, not only to a name.
    const std::string dev = readFirstLine(entry / "dev");
    if (!dev.empty()) {
        const std::string expected = std::to_string(::major(st.st_rdev)) + ":" + std::to_string(::minor(st.st_rdev));
        if (dev != expected)
            return false;
    }
    return true;
}

std::vector<ComPortMap::Entry> ComPortMap::ListPorts(const std::string &configPath, const std::string &sysClassTty)
{
    std::vector<Entry> ports;
    for (unsigned n = 1; n <= HighestListed; ++n) {
        const std::string key = "COM" + std::to_string(n);
        const std::string configured = PrivateProfile::GetString(configPath, "com_ports", key, "", 4096);
        const std::string path = configured.empty() ? DefaultDevicePath(n) : configured;
        if (IsSerialDevice(path, !configured.empty(), sysClassTty))
            ports.push_back({n, path});
    }
    return ports;
}
