#include "sim/SceneEnvironment.h"

#include "sim/LoadDIBImage.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace {

struct Point
{
    float x, y, z;
};

// One primitive of the stage; a colour of -1 keeps the colour already set.
struct StagePrimitive
{
    GLenum mode;
    float r, g, b;
    std::vector<Point> vertices;
};

const std::vector<StagePrimitive> &stagePrimitives()
{
    constexpr float keep = -1.0f;
    // A sofa with two cushions, then a chair; the round table is drawn with a quadric after these.
    static const std::vector<StagePrimitive> primitives = {
        {GL_QUAD_STRIP, 0.2f, 0.5f, 0.9f,
         {{-60, 100, 10}, {-100, 100, 10}, {-60, 100, 0}, {-100, 100, 0}, {-60, 150, 0}, {-100, 150, 0},
          {-60, 150, 10}, {-100, 150, 10}, {-60, 100, 10}, {-100, 100, 10}}},
        {GL_QUADS, 0.5f, 0.3f, 0.6f,
         {{-60, 100, 10}, {-60, 100, 0}, {-60, 150, 0}, {-60, 150, 10},
          {-100, 150, 10}, {-100, 150, 0}, {-100, 100, 0}, {-100, 100, 10}}},
        {GL_QUAD_STRIP, 0.3f, 0.1f, 0.7f,
         {{-100, 150, 10}, {-60, 150, 10}, {-100, 157, 20}, {-60, 157, 20}, {-100, 160, 20}, {-60, 160, 20},
          {-100, 160, 0}, {-60, 160, 0}, {-100, 150, 0}, {-60, 150, 0}}},
        {GL_QUAD_STRIP, 0.5f, 0.3f, 0.6f,
         {{-60, 150, 10}, {-60, 150, 0}, {-60, 157, 20}, {-60, 157, 0}, {-60, 160, 20}, {-60, 160, 0}}},
        {GL_QUAD_STRIP, 0.5f, 0.3f, 0.6f,
         {{-100, 160, 20}, {-100, 160, 0}, {-100, 157, 20}, {-100, 157, 0}, {-100, 150, 10}, {-100, 150, 0}}},
        {GL_QUAD_STRIP, 0.2f, 0.8f, 0.1f,
         {{-98, 140, 10}, {-82, 140, 10}, {-98, 140, 13}, {-82, 140, 13}, {-98, 148, 13}, {-82, 148, 13},
          {-98, 148, 10}, {-82, 148, 10}}},
        {GL_QUADS, keep, keep, keep,
         {{-82, 140, 13}, {-82, 140, 10}, {-82, 148, 10}, {-82, 148, 13},
          {-98, 148, 13}, {-98, 148, 10}, {-98, 140, 10}, {-98, 140, 13}}},
        {GL_QUAD_STRIP, 0.8f, 0.3f, 0.1f,
         {{-78, 140, 10}, {-62, 140, 10}, {-78, 140, 13}, {-62, 140, 13}, {-78, 148, 13}, {-62, 148, 13},
          {-78, 148, 10}, {-62, 148, 10}}},
        {GL_QUADS, keep, keep, keep,
         {{-62, 140, 13}, {-62, 140, 10}, {-62, 148, 10}, {-62, 148, 13},
          {-78, 148, 13}, {-78, 148, 10}, {-78, 140, 10}, {-78, 140, 13}}},
        {GL_LINES, 0.3f, 0.3f, 0.3f,
         {{140, 103, 7}, {140, 137, 7}, {130, 120, 7}, {140, 120, 7}, {130, 120, 7}, {130, 120, 0}}},
        {GL_QUAD_STRIP, 0.8f, 0.5f, 0.3f,
         {{130, 140, 0}, {130, 100, 0}, {130, 140, 6}, {130, 100, 6}, {140, 140, 6}, {140, 100, 6},
          {143, 140, 15}, {143, 100, 15}, {145, 140, 15}, {145, 100, 15}, {145, 140, 0}, {145, 100, 0},
          {130, 140, 0}, {130, 100, 0}}},
        {GL_QUADS, 0.4f, 0.8f, 0.8f, {{130, 100, 6}, {130, 100, 0}, {140, 100, 0}, {140, 100, 6}}},
        {GL_QUAD_STRIP, 0.4f, 0.6f, 0.3f,
         {{140, 100, 6}, {140, 100, 0}, {143, 100, 15}, {143, 100, 0}, {145, 100, 15}, {145, 100, 0}}},
        {GL_QUADS, 0.4f, 0.8f, 0.8f, {{140, 140, 6}, {140, 140, 0}, {130, 140, 0}, {130, 140, 6}}},
        {GL_QUAD_STRIP, 0.4f, 0.6f, 0.3f,
         {{145, 140, 15}, {145, 140, 0}, {143, 140, 15}, {143, 140, 0}, {140, 140, 6}, {140, 140, 0}}},
        {GL_QUAD_STRIP, 0.5f, 0.5f, 0.5f,
         {{130, 100, 6}, {140, 100, 6}, {130, 100, 10}, {140, 100, 10}, {130, 103, 10}, {140, 103, 10},
          {130, 103, 6}, {140, 103, 6}}},
        {GL_QUADS, keep, keep, keep,
         {{130, 103, 10}, {130, 103, 6}, {130, 100, 6}, {130, 100, 10},
          {140, 100, 10}, {140, 100, 6}, {140, 103, 6}, {140, 103, 10}}},
        {GL_QUAD_STRIP, 0.5f, 0.5f, 0.5f,
         {{130, 137, 6}, {140, 137, 6}, {130, 137, 10}, {140, 137, 10}, {130, 140, 10}, {140, 140, 10},
          {130, 140, 6}, {140, 140, 6}}},
        {GL_QUADS, keep, keep, keep,
         {{130, 140, 10}, {130, 140, 6}, {130, 137, 6}, {130, 137, 10},
          {140, 137, 10}, {140, 137, 6}, {140, 140, 6}, {140, 140, 10}}},
    };
    return primitives;
}

bool usable(const ImageRecord &image)
{
    return image.width > 0 && image.height > 0 &&
           image.data.size() >= static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3;
}

// A missing or unreadable bitmap is not worth a message: the room has a stand-in.
std::unique_ptr<ImageRecord> readImage(const std::filesystem::path &path)
{
    std::unique_ptr<ImageRecord> image = LoadDIBImageQuietly(path.string().c_str());
    if (image && !usable(*image))
        image.reset();
    return image;
}

// What a surface shows when its bitmap is missing: plain tiles with a darker joint.
ImageRecord standIn(unsigned char base, unsigned char joint)
{
    constexpr int side = 64;
    ImageRecord image;
    image.width = side;
    image.height = side;
    image.data.resize(side * side * 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool edge = x < 2 || y < 2;
            unsigned char *p = &image.data[(y * side + x) * 3];
            p[0] = p[1] = p[2] = edge ? joint : base;
        }
    return image;
}

void setTextureParameters()
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

// Binds a surface's texture the way the room draws it: the picture replaces the surface colour.
void useTexture(unsigned int texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    setTextureParameters();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
}

void line(float x0, float y0, float z0, float x1, float y1, float z1)
{
    glVertex3f(x0, y0, z0);
    glVertex3f(x1, y1, z1);
}

} // namespace

SceneEnvironment::SceneEnvironment() = default;

SceneEnvironment::~SceneEnvironment()
{
    if (m_quadric)
        gluDeleteQuadric(m_quadric);
}

void SceneEnvironment::LoadImages(const std::string &folder)
{
    const std::filesystem::path dir(folder);
    m_floorImage = readImage(dir / "db3.bmp");
    // Without the floor's picture the wall's is not tried either.
    m_wallImage = m_floorImage ? readImage(dir / "wall.bmp") : nullptr;
}

void SceneEnvironment::UploadImage(unsigned int texture, const ImageRecord *image, const ImageRecord &fallback)
{
    const ImageRecord &source = image ? *image : fallback;
    glBindTexture(GL_TEXTURE_2D, texture);
    setTextureParameters();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const bool square512 = source.width == imageSide && source.height == imageSide;
    const bool standInSize = &source == &fallback;
    if (square512 || standInSize) {
        glTexImage2D(GL_TEXTURE_2D, 0, 3, source.width, source.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     source.data.data());
        return;
    }
    // Any other size is scaled to the room's 512 x 512 tile picture.
    std::vector<unsigned char> scaled(static_cast<size_t>(imageSide) * imageSide * 3);
    gluScaleImage(GL_RGB, source.width, source.height, GL_UNSIGNED_BYTE, source.data.data(), imageSide, imageSide,
                  GL_UNSIGNED_BYTE, scaled.data());
    glTexImage2D(GL_TEXTURE_2D, 0, 3, imageSide, imageSide, 0, GL_RGB, GL_UNSIGNED_BYTE, scaled.data());
}

void SceneEnvironment::CreateTextures()
{
    ReleaseTextures();
    GLuint names[2] = {0, 0};
    glGenTextures(2, names);
    m_floorTexture = names[0];
    m_wallTexture = names[1];
    UploadImage(m_floorTexture, m_floorImage.get(), standIn(150, 110));
    UploadImage(m_wallTexture, m_wallImage.get(), standIn(205, 190));
    glBindTexture(GL_TEXTURE_2D, 0);
}

void SceneEnvironment::ReleaseTextures()
{
    const GLuint names[2] = {m_floorTexture, m_wallTexture};
    if (names[0] || names[1])
        glDeleteTextures(2, names);
    m_floorTexture = 0;
    m_wallTexture = 0;
}

void SceneEnvironment::DrawAxes()
{
    // Lines are drawn untextured whatever a part left enabled.
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    line(-3, 0, 0, 3, 0, 0);
    line(2.5f, 0.5f, 0, 3, 0, 0);
    line(2.5f, -0.5f, 0, 3, 0, 0);
    line(3, 0.5f, 0, 3.2f, 0.1f, 0);
    line(3, 0.1f, 0, 3.2f, 0.5f, 0);
    glColor3f(0.0f, 1.0f, 0.0f);
    line(0, -3, 0, 0, 3, 0);
    line(-0.5f, 2.5f, 0, 0, 3, 0);
    line(0.5f, 2.5f, 0, 0, 3, 0);
    line(0.2f, 3, 0, 0.4f, 2.8f, 0);
    line(0.5f, 3, 0, 0.2f, 2.6f, 0);
    glColor3f(0.0f, 0.0f, 1.0f);
    line(0, 0, -3, 0, 0, 3);
    line(-0.5f, 0, 2.5f, 0, 0, 3);
    line(0.5f, 0, 2.5f, 0, 0, 3);
    line(0.2f, 0, 2.6f, 0.4f, 0, 2.6f);
    line(0.2f, 0, 2.8f, 0.4f, 0, 2.8f);
    line(0.4f, 0, 2.6f, 0.2f, 0, 2.8f);
    glEnd();
}

void SceneEnvironment::DrawGround(bool gridFloor, bool showStage)
{
    if (gridFloor) {
        DrawGrid();
        return;
    }
    DrawTexturedRoom();
    if (showStage)
        DrawStage();
}

void SceneEnvironment::DrawGrid()
{
    glDisable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    // Floor, z = 0; the lines through 0 come twice, once from each half.
    for (int y = 0; y <= 180; y += 10)
        line(180, y, 0, -180, y, 0);
    for (int y = 0; y >= -180; y -= 10)
        line(180, y, 0, -180, y, 0);
    for (int x = 0; x <= 180; x += 10)
        line(x, 180, 0, x, -180, 0);
    for (int x = 0; x >= -180; x -= 10)
        line(x, 180, 0, x, -180, 0);
    // Wall x = -180.
    for (int z = 0; z <= 180; z += 10)
        line(-180, -180, z, -180, 180, z);
    for (int y = -180; y <= 180; y += 10)
        line(-180, y, 0, -180, y, 180);
    // Wall y = 180.
    for (int z = 0; z <= 180; z += 10)
        line(-180, 180, z, 180, 180, z);
    for (int x = -180; x <= 180; x += 10)
        line(x, 180, 180, x, 180, 0);
    glEnd();
}

void SceneEnvironment::DrawTexturedRoom()
{
    glPushMatrix();
    useTexture(m_floorTexture);
    glBegin(GL_QUADS);
    for (int y = -180; y <= 170; y += 10)
        for (int x = -170; x <= 180; x += 10) {
            glTexCoord2f(0, 1);
            glVertex3f(x - 10, y + 10, 0);
            glTexCoord2f(0, 0);
            glVertex3f(x - 10, y, 0);
            glTexCoord2f(1, 0);
            glVertex3f(x, y, 0);
            glTexCoord2f(1, 1);
            glVertex3f(x, y + 10, 0);
        }
    glEnd();
    glPopMatrix();

    glPushMatrix();
    useTexture(m_wallTexture);
    glBegin(GL_QUADS);
    for (int z = 0; z <= 90; z += 10)
        for (int y = -170; y <= 180; y += 10) {
            glTexCoord2f(0, 1);
            glVertex3f(-180, y - 10, z + 10);
            glTexCoord2f(0, 0);
            glVertex3f(-180, y - 10, z);
            glTexCoord2f(1, 0);
            glVertex3f(-180, y, z);
            glTexCoord2f(1, 1);
            glVertex3f(-180, y, z + 10);
        }
    for (int z = 0; z <= 90; z += 10)
        for (int x = -170; x <= 180; x += 10) {
            glTexCoord2f(0, 1);
            glVertex3f(x - 10, 180, z + 10);
            glTexCoord2f(0, 0);
            glVertex3f(x - 10, 180, z);
            glTexCoord2f(1, 0);
            glVertex3f(x, 180, z);
            glTexCoord2f(1, 1);
            glVertex3f(x, 180, z + 10);
        }
    glEnd();
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

void SceneEnvironment::DrawStage()
{
    glDisable(GL_TEXTURE_2D);
    for (const StagePrimitive &p : stagePrimitives()) {
        if (p.r >= 0.0f)
            glColor3f(p.r, p.g, p.b);
        glBegin(p.mode);
        for (const Point &v : p.vertices)
            glVertex3f(v.x, v.y, v.z);
        glEnd();
    }

    if (!m_quadric)
        m_quadric = gluNewQuadric();
    if (!m_quadric)
        return;
    // The round table: its top, then the four legs, in the colour the chair's last part set.
    glPushMatrix();
    glTranslatef(-60.0f, -60.0f, 15.0f);
    gluCylinder(m_quadric, 20.0, 20.0, 5.0, 30, 150);
    DrawDisc(0.0f, 0.0f, 5.0f, 20.0f, 50);
    DrawDisc(0.0f, 0.0f, 0.0f, 20.0f, 50);
    glPopMatrix();
    const float legs[4][2] = {{-50, -50}, {-70, -50}, {-70, -70}, {-50, -70}};
    for (const auto &leg : legs) {
        glPushMatrix();
        glTranslatef(leg[0], leg[1], 0.0f);
        gluCylinder(m_quadric, 2.0, 2.0, 18.0, 30, 150);
        DrawDisc(0.0f, 0.0f, 15.0f, 2.0f, 50);
        DrawDisc(0.0f, 0.0f, 0.0f, 2.0f, 50);
        glPopMatrix();
    }
}

void SceneEnvironment::DrawDisc(float x, float y, float z, float radius, int segments)
{
    if (segments <= 0)
        return;
    const double step = 6.283185307178 / segments;
    glBegin(GL_TRIANGLE_FAN);
    glVertex4f(x, y, z, 1.0f);
    for (int i = 0; i < segments; ++i)
        glVertex4f(x + radius * static_cast<float>(std::cos(i * step)), y + radius * static_cast<float>(std::sin(i * step)),
                   z, 1.0f);
    glVertex4f(x + radius, y, z, 1.0f);
    glEnd();
}
