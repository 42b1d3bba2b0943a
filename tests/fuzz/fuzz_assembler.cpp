// fuzz-libs: korvane_link
// Feeds arbitrary bytes to the frame assembler: every frame it hands on must run from "$" to "#"
// and be at most 81 characters long, and it must hand on exactly one frame per "completed" result.
#include "link/FrameAssembler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t handedOn = 0;
    FrameAssembler assembler([&handedOn](const std::string &frame) {
        ++handedOn;
        if (frame.size() < 2 || frame.front() != '$' || frame.back() != '#' ||
            frame.size() > static_cast<size_t>(FrameAssembler::MaxFrameLength))
            std::abort();
    });
    size_t completed = 0;
    for (size_t i = 0; i < size; ++i) {
        if (assembler.Feed(static_cast<char>(data[i])))
            ++completed;
        if (assembler.count() < 0 || assembler.count() >= FrameAssembler::MaxFrameLength ||
            assembler.collecting() != (assembler.count() > 0))
            std::abort();
    }
    if (completed != handedOn)
        std::abort();
    return 0;
}
