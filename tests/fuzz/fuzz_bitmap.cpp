// fuzz-libs: korvane_sim
// Bitmap decoding of arbitrary bytes: a result must be exactly width x height RGB pixels.
#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const bool quiet = (SetLoaderMessageHook([](const std::string &, const std::string &) {}), true);
    (void)quiet;
    const auto image = LoadDIBImageFromMemory(data, size, "fuzz", std::int64_t(1) << 16);
    if (image) {
        if (image->width <= 0 || image->height <= 0 ||
            image->data.size() != std::size_t(image->width) * std::size_t(image->height) * 3)
            std::abort();
        unsigned sum = 0;
        for (std::uint8_t b : image->data)
            sum += b;
        if (sum == 0xFFFFFFFFu) // keeps the reads from being optimised away
            std::abort();
    }
    return 0;
}
