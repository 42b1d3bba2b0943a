#pragma once

#include "tools/gen3ds/PartModel.h"

namespace gen3ds {

// The arm's nineteen part files. Each part is modelled in the frame it is drawn in: file 1 and
// files 16 to 19 at the arm origin on the floor, file 2 on the base's turning joint, files 3 and
// 4 from one elbow axis to the next, files 5 and 15 on the wrist axis, file 6 on the gripper's
// turning joint and files 7 and 8 (the fingers) about their pivots. Files 9 to 14 are spare parts.
class ArmParts
{
public:
    static constexpr int fileCount = 19;
    // The texture of the controller board, as named inside file 16 (relative to the program's
    // working folder) and as written beside the part files.
    static constexpr const char *boardTexture = "3DS/pcb.bmp";
    static constexpr const char *boardTextureFileName = "pcb.bmp";

    // fileNumber 1 to 19; anything else gives an empty model.
    static PartModel part(int fileNumber);
};

} // namespace gen3ds
