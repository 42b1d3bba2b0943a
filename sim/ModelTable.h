#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Imported 3DS models and the GL texture names of their materials, kept by CLoad3DS per GL context.

constexpr int kModelSlotCount = 20;
constexpr int kMaxMaterialsPerModel = 100;
constexpr int kRecordNameSize = 255; // fixed text fields: up to 254 bytes and the NUL

struct FaceRecord
{
    std::int32_t vertexIndex[3] = {0, 0, 0};
};

struct MaterialRecord
{
    char name[kRecordNameSize] = {};
    char textureFile[kRecordNameSize] = {}; // empty = untextured
    std::uint8_t color[3] = {0, 0, 0};     // diffuse R, G, B
};

struct ObjectRecord
{
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
    std::int32_t texCoordCount = 0;
    std::int32_t materialIndex = 0; // -1 = no material
    bool hasTexture = false;
    char name[kRecordNameSize] = {};
    std::vector<float> vertices;  // vertexCount * 3, y and z already swapped for drawing
    std::vector<float> normals;   // vertexCount * 3, unit length (0 for vertices no face uses)
    std::vector<float> texCoords; // texCoordCount * 2 (u, v), indexed like the vertices
    std::vector<FaceRecord> faces; // faceCount
};

struct ModelRecord
{
    std::int32_t objectCount = 0;
    std::int32_t materialCount = 0;
    std::vector<MaterialRecord> materials;
    std::vector<ObjectRecord> objects;

    void clear();
};

using ModelSlots = std::array<ModelRecord, kModelSlotCount>;
using TextureNameRow = std::array<unsigned int, kMaxMaterialsPerModel>; // GL texture object names
using TextureNameRows = std::array<TextureNameRow, kModelSlotCount>;
