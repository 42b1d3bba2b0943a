// fuzz-libs: korvane_sim
// The 3DS chunk walk and normals over arbitrary bytes: whatever loads must be consistent enough to
// draw (counts match the arrays, every face names existing vertices).
#include "sim/CLoad3DS.h"
#include "sim/LoaderMessage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const bool quiet = (SetLoaderMessageHook([](const std::string &, const std::string &) {}), true);
    (void)quiet;
    ModelRecord model;
    CLoad3DS::ReadModelMemory(data, size, model);
    CLoad3DS::ComputeNormals(model);
    if (model.objectCount != int(model.objects.size()) || model.materialCount != int(model.materials.size()))
        std::abort();
    for (const ObjectRecord &o : model.objects) {
        if (o.vertices.size() != std::size_t(o.vertexCount) * 3 || o.normals.size() != o.vertices.size() ||
            o.faces.size() != std::size_t(o.faceCount) || o.texCoords.size() != std::size_t(o.texCoordCount) * 2 ||
            !std::memchr(o.name, 0, sizeof o.name))
            std::abort();
        for (const FaceRecord &f : o.faces)
            for (int k = 0; k < 3; ++k)
                if (f.vertexIndex[k] < 0 || f.vertexIndex[k] >= o.vertexCount)
                    std::abort();
        if (model.materialCount > 0 && o.materialIndex >= model.materialCount)
            std::abort();
    }
    for (const MaterialRecord &m : model.materials)
        if (!std::memchr(m.name, 0, sizeof m.name) || !std::memchr(m.textureFile, 0, sizeof m.textureFile))
            std::abort();
    return 0;
}
