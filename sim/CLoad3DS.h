#pragma once

#include "sim/ModelTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Imports 3DS mesh files into numbered model slots and draws them with immediate-mode OpenGL. One
// loader belongs to one GL context: its texture names mean nothing in another, so a view makes a
// loader per context and releases it with that context. The import runs in three steps so the
// parsing can be used without a GL context: ReadModelFile/ReadModelMemory (chunk walk),
// ComputeNormals, CreateTextures (needs a context).
class CLoad3DS
{
public:
    CLoad3DS();
    virtual ~CLoad3DS();

    CLoad3DS(const CLoad3DS &) = delete;
    CLoad3DS &operator=(const CLoad3DS &) = delete;

    // Appends what the file holds to the slot, computes normals and creates the material textures.
    // Needs a current GL context. A missing file or one that is not a 3DS file leaves the slot as it was.
    void ImportModel(const char *path, unsigned slot);

    // Deletes every texture this loader created and forgets the models. Needs the loader's context
    // to be current; without one (the context is already gone) only the models are forgotten.
    void Release();

    // Slot i holds the model imported into slot i; TextureName(i, m) is the texture of its
    // material m (0 = none or outside the table).
    const ModelRecord &Model(int slot) const { return (*m_models)[static_cast<size_t>(slot)]; }
    unsigned TextureName(int slot, int material) const;

    // Draws a slot placed at (x, y, z), scaled, and turned by angle degrees about the axis.
    void DrawModel(int slot, float x, float y, float z, float scale, float angle, float axisX, float axisY,
                   float axisZ);

    // Parsing only. Returns false when the file cannot be read or does not start with a main chunk.
    static bool ReadModelFile(const char *path, ModelRecord &model);
    static bool ReadModelMemory(const std::uint8_t *data, std::size_t size, ModelRecord &model);

    // Smooth unit vertex normals of every object: minus the sum of the faces' unnormalised vectors.
    static void ComputeNormals(ModelRecord &model);

    // Creates a mipmapped texture for every material of the slot that names a texture file. Relative
    // names are found as written from the current directory, else next to the model file; a name that
    // does not exist as written is matched case-insensitively. Needs a current GL context.
    void CreateTextures(unsigned slot, const char *modelPath);

    // Where a texture name stored in modelPath resolves to (empty when no file matches).
    static std::string ResolveTexturePath(const char *textureFile, const char *modelPath);

    // Called when a material's texture cannot be loaded; by default the program ends (status 1).
    void SetTextureFailureHandler(std::function<void(const std::string &textureFile)> handler);

private:
    std::function<void(const std::string &)> m_textureFailure;
    std::unique_ptr<ModelSlots> m_models;
    std::unique_ptr<TextureNameRows> m_textures;
};
