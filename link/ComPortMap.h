#pragma once

#include <string>
#include <vector>

// Where COM numbers live on this machine. A COM number maps to the device named by key "COMn" of
// section "com_ports" in the configuration file, else to a fixed convention that puts USB
// adapters first (COM1-32 ttyUSB0-31, COM33-64 ttyACM0-31, COM65-96 ttyS0-31).
class ComPortMap
{
public:
    static constexpr unsigned HighestListed = 256;

    struct Entry
    {
        unsigned comNumber = 0;
        std::string devicePath;
        bool operator==(const Entry &) const = default;
    };

    // "" when the number has no device (0, or above 96 without a configured one).
    static std::string DevicePathFor(unsigned comNumber, const std::string &configPath = "./config.ini");
    static std::string DefaultDevicePath(unsigned comNumber);

    // Ports whose device exists and is a real serial device, or a configured pseudo-terminal,
    // in COM-number order. Never opens a device: opening a tty toggles its modem lines, which
    // resets many controller boards.
    static std::vector<Entry> ListPorts(const std::string &configPath = "./config.ini",
                                        const std::string &sysClassTty = "/sys/class/tty");

    // Decided from the file system and sysfs alone.
    static bool IsSerialDevice(const std::string &devicePath, bool configured,
                               const std::string &sysClassTty = "/sys/class/tty");
};
