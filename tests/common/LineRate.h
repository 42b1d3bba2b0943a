#pragma once

// The rates a terminal line runs at, read with the kernel's extended settings: they show rates
// that have no B-constant. On a pseudo-terminal's master they are those of its slave.
struct LineRate
{
    unsigned input = 0;
    unsigned output = 0;
};

LineRate lineRate(int fd);
