#pragma once

#include <string>

// Makes a COM number lead to the stand-in's pseudo-terminal: writes COMn=<path> into section
// "com_ports" of the program's configuration file, every other line kept, and takes the key out
// again when destroyed, unless someone has pointed it elsewhere in the meantime.
class ComPortRegistration
{
public:
    static constexpr const char *Section = "com_ports";

    ComPortRegistration(std::string configPath, int comNumber, std::string devicePath);
    ~ComPortRegistration();
    ComPortRegistration(const ComPortRegistration &) = delete;
    ComPortRegistration &operator=(const ComPortRegistration &) = delete;

    bool registered() const { return m_registered; }
    std::string key() const;
    void release();

private:
    std::string m_config;
    int m_com;
    std::string m_device;
    bool m_registered = false;
};
