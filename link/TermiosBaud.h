#pragma once

#include <cstddef>

// The kernel's extended line settings (termios2), which carry the rate as a plain number and so
// reach rates that have no B-constant (14400, 250000, ...). Kept apart from <termios.h>, whose
// definitions clash with the kernel's own header.
namespace TermiosBaud {

// The whole line state as the kernel holds it, rate included.
struct Saved
{
    alignas(8) unsigned char bytes[64];
};

bool Save(int fd, Saved &saved);
bool Restore(int fd, const Saved &saved);

// Sets both directions to baud, whatever its value; the other settings stay as they are.
bool SetRate(int fd, unsigned baud);
// The output rate the line runs at as the driver reports it; 0 when it cannot be read.
unsigned OutputRate(int fd);

} // namespace TermiosBaud
