#pragma once

#include "tools/gen3ds/PartModel.h"

#include <cstdint>
#include <vector>

namespace gen3ds {

// Writes a part as a 3DS chunk file: main chunk, version, editor block with mesh version,
// materials (name, diffuse colour, texture map), then one named object per mesh with its
// vertex list, texture coordinates and face list carrying one face material group.
class Writer3ds
{
public:
    static std::vector<uint8_t> encode(const PartModel &model);
};

} // namespace gen3ds
