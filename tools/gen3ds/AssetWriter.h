#pragma once

#include <string>
#include <vector>

namespace gen3ds {

// Writes everything the 3D view reads from its 3DS folder: the part files 1.3DS to 19.3DS, the
// floor and wall bitmaps db3.bmp and wall.bmp, and the textures the parts name.
class AssetWriter
{
public:
    // The file names written into a folder, in writing order.
    static std::vector<std::string> fileNames();
    // Creates the folder when needed. Each file is written beside its final name and renamed
    // into place, so a reader never sees half a file. Returns the problems met (empty on success).
    static std::vector<std::string> writeAll(const std::string &folder);
};

} // namespace gen3ds
