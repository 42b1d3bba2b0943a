#include "link/SerialSignal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

SerialSignal::SerialSignal()
    : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

SerialSignal::~SerialSignal()
{
    if (m_fd >= 0)
        close(m_fd);
}

void SerialSignal::Raise()
{
    const uint64_t one = 1;
    // Only fails when the counter is saturated, which still leaves the signal raised.
    [[maybe_unused]] const auto n = write(m_fd, &one, sizeof one);
}

void SerialSignal::Reset()
{
    uint64_t value = 0;
    [[maybe_unused]] const auto n = read(m_fd, &value, sizeof value);
}

bool SerialSignal::IsRaised() const
{
    pollfd p{m_fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}
