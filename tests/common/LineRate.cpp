#include "tests/common/LineRate.h"

// The kernel's header clashes with <termios.h>, so this file stays apart from the tests.
#include <asm/termbits.h>
#include <sys/ioctl.h>

LineRate lineRate(int fd)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return {};
    return {t.c_ispeed, t.c_ospeed};
}
