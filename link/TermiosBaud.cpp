#include "link/TermiosBaud.h"

// Only the kernel's definitions here: <termios.h> must not be included in this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

static_assert(sizeof(termios2) <= sizeof(TermiosBaud::Saved::bytes));

namespace TermiosBaud {

bool Save(int fd, Saved &saved)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    std::memcpy(saved.bytes, &t, sizeof t);
    return true;
}

bool Restore(int fd, const Saved &saved)
{
    termios2 t{};
    std::memcpy(&t, saved.bytes, sizeof t);
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool SetRate(int fd, unsigned baud)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    // No rate in the input bits means "the same as output".
    t.c_cflag &= ~(CBAUD | CIBAUD);
    t.c_cflag |= BOTHER;
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

unsigned OutputRate(int fd)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return t.c_ospeed;
}

} // namespace TermiosBaud
