#pragma once

#include "tools/gen3ds/PartMesh.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gen3ds {

struct PartMaterial
{
    std::string name;
    uint8_t red = 255;
    uint8_t green = 255;
    uint8_t blue = 255;
    std::string textureFile; // empty: plain colour
};

// One part file: its materials (written first, so objects can name them) and its objects.
struct PartModel
{
    std::vector<PartMaterial> materials;
    std::vector<PartMesh> objects;
};

} // namespace gen3ds
