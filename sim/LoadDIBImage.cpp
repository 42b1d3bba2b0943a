#include "sim/LoadDIBImage.h"

std::unique_ptr<ImageRecord> LoadDIBImage(const char *)
{
    return nullptr;
}

std::unique_ptr<ImageRecord> LoadDIBImageFromMemory(const std::uint8_t *, std::size_t, const char *)
{
    return nullptr;
}
