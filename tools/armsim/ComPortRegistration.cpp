#include "tools/armsim/ComPortRegistration.h"

#include "link/PrivateProfile.h"

ComPortRegistration::ComPortRegistration(std::string configPath, int comNumber, std::string devicePath)
    : m_config(std::move(configPath))
    , m_com(comNumber)
    , m_device(std::move(devicePath))
{
    m_registered = PrivateProfile::WriteString(m_config, Section, key(), m_device);
}

ComPortRegistration::~ComPortRegistration()
{
    release();
}

std::string ComPortRegistration::key() const
{
    return "COM" + std::to_string(m_com);
}

void ComPortRegistration::release()
{
    if (!m_registered)
        return;
    m_registered = false;
    // Another stand-in started later may have taken the number over; leave its entry alone.
    const std::string current = PrivateProfile::GetString(m_config, Section, key(), "", 4096);
    if (current == m_device)
        PrivateProfile::DeleteKey(m_config, Section, key());
}
