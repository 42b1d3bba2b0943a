#pragma once

#include "sim/ImageRecord.h"

#include <memory>
#include <string>

struct GLUquadric;

// The room the arm stands in: the coordinate axes, the floor and walls (a white line grid, or
// textured from ./3DS/db3.bmp and ./3DS/wall.bmp) and the furniture of the stage. Drawn with
// OpenGL 1.1 in the Z-up scene frame; the texture calls need the view's context to be current.
class SceneEnvironment
{
public:
    SceneEnvironment();
    ~SceneEnvironment();

    SceneEnvironment(const SceneEnvironment &) = delete;
    SceneEnvironment &operator=(const SceneEnvironment &) = delete;

    // Reads the two bitmaps from folder (normally "./3DS"); without the floor's the wall's is not
    // tried. A missing or unreadable file is no error: its surface shows a plain stand-in instead.
    void LoadImages(const std::string &folder);
    bool hasFloorImage() const { return m_floorImage != nullptr; }
    bool hasWallImage() const { return m_wallImage != nullptr; }

    // Gives the floor and the wall texture objects of their own, uploaded once, so drawing never
    // writes into a texture that an arm part uses. Needs a current context.
    void CreateTextures();
    // Deletes them; call while the same context is current, before it goes away.
    void ReleaseTextures();

    void DrawAxes();
    void DrawGround(bool gridFloor, bool showStage);
    void DrawStage();
    // A flat disc facing +z as a triangle fan: the centre, n points round the rim, and the first
    // rim point again to close it.
    static void DrawDisc(float x, float y, float z, float radius, int segments);

    static constexpr int imageSide = 512;

private:
    void DrawGrid();
    void DrawTexturedRoom();
    static void UploadImage(unsigned int texture, const ImageRecord *image, const ImageRecord &standIn);

    std::unique_ptr<ImageRecord> m_floorImage;
    std::unique_ptr<ImageRecord> m_wallImage;
    unsigned int m_floorTexture = 0;
    unsigned int m_wallTexture = 0;
    GLUquadric *m_quadric = nullptr;
};
