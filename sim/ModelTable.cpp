#include "sim/ModelTable.h"

void ModelRecord::clear()
{
    objectCount = 0;
    materialCount = 0;
    materials.clear();
    objects.clear();
}
