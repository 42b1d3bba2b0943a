#pragma once

#include <initializer_list>

// The checksum of a command frame: the command code (read as hex), the length field and every
// data field (read as decimal), summed modulo 256. Returns 0 to 255 even when a field is negative.
int FrameChecksum(int code, int length, std::initializer_list<long long> data);
