#include "sim/ModelTable.h"

void ModelRecord::clear()
{
    objectCount = 0;
    materialCount = 0;
    materials.clear();
    objects.clear();
}

ModelSlots &ModelTable()
{
    static ModelSlots slots;
    return slots;
}

TextureNameRows &TextureNameTable()
{
    static TextureNameRows names{};
    return names;
}
