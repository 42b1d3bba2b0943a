#pragma once

#include "tools/gen3ds/Picture.h"

namespace gen3ds {

// The pictures that lie beside the part files: the floor and wall bitmaps of the room
// (512 x 512, one 10 x 10 tile each) and the controller board's texture.
class EnvironmentPictures
{
public:
    static Picture floor();
    static Picture wall();
    static Picture circuitBoard();
};

} // namespace gen3ds
