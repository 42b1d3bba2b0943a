#include "link/FrameChecksum.h"

int FrameChecksum(int code, int length, std::initializer_list<long long> data)
{
    long long sum = static_cast<long long>(code) + length;
    for (long long value : data)
        sum += value;
    const long long byte = sum % 256;
    return static_cast<int>(byte < 0 ? byte + 256 : byte);
}
