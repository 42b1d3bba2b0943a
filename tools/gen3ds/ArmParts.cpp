#include "tools/gen3ds/ArmParts.h"

#include <cmath>
#include <numbers>
#include <string>

namespace gen3ds {

namespace {

// Distances along the joint chain, in the units the view places the parts with.
constexpr float baseHeight = 3.07087f;      // floor to the base's turning joint
constexpr float shoulderHeight = 1.16142f;  // turning joint to the shoulder axis
constexpr float linkLength = 3.26181f;      // shoulder to elbow, elbow to wrist
constexpr float wristLength = 2.92717f;     // wrist axis to the gripper's turning joint
constexpr float wristOffsetY = 0.07f;
constexpr float fingerPivotHeight = 1.28f;
constexpr float fingerPivotY = -0.26f;

PartMaterial material(const std::string &name)
{
    struct Entry { const char *name; uint8_t r, g, b; };
    static const Entry palette[] = {
        {"BLACK", 40, 40, 44},    {"SERVO", 30, 32, 38},    {"ALU", 190, 194, 200},
        {"BLUE", 36, 98, 196},    {"WHITE", 236, 236, 230}, {"RUBBER", 22, 22, 22},
        {"BRASS", 204, 164, 72},  {"LENS", 24, 32, 64},     {"LAMP", 255, 246, 222},
        {"PCB", 20, 110, 50},     {"GREY", 120, 124, 130},
    };
    for (const Entry &e : palette)
        if (name == e.name) {
            PartMaterial m{e.name, e.r, e.g, e.b, {}};
            if (name == "PCB")
                m.textureFile = ArmParts::boardTexture;
            return m;
        }
    return PartMaterial{name, 255, 255, 255, {}};
}

// Collects a part's objects and the materials they name, each material once.
class PartBuilder
{
public:
    PartMesh &object(const std::string &name, const std::string &materialName)
    {
        bool known = false;
        for (const PartMaterial &m : m_model.materials)
            known = known || m.name == materialName;
        if (!known)
            m_model.materials.push_back(material(materialName));
        m_model.objects.emplace_back(name, materialName);
        return m_model.objects.back();
    }
    PartModel take() { return std::move(m_model); }

private:
    PartModel m_model;
};

std::vector<Vec2> arc(Vec2 centre, float radius, float fromDeg, float toDeg, int steps)
{
    std::vector<Vec2> points;
    for (int i = 0; i <= steps; ++i) {
        const double a = (fromDeg + (toDeg - fromDeg) * i / steps) * std::numbers::pi / 180.0;
        points.push_back({static_cast<float>(centre.x + radius * std::cos(a)),
                          static_cast<float>(centre.y + radius * std::sin(a))});
    }
    return points;
}

// A flat bar with round ends around two axes at heights 0 and length, in the YZ plane.
std::vector<Vec2> stadium(float radius, float length)
{
    std::vector<Vec2> points = arc({0, 0}, radius, 180, 360, 10);
    const std::vector<Vec2> top = arc({0, length}, radius, 0, 180, 10);
    points.insert(points.end(), top.begin(), top.end());
    return points;
}

// The same plate on both sides of the arm, between |x| = inner and |x| = outer.
void sidePlates(PartMesh &mesh, const std::vector<Vec2> &outline, float inner, float outer)
{
    mesh.addPrism(Frame::yzPlane(0), outline, inner, outer);
    mesh.addPrism(Frame::yzPlane(0), outline, -outer, -inner);
}

void servoHorn(PartMesh &mesh, Vec3 start, float length, float radius)
{
    mesh.addCylinder(Frame::alongX(start), radius, 0.0f, length, 24);
}

PartModel base()
{
    PartBuilder b;
    b.object("BASEPLATE", "BLACK").addCylinder(Frame::at({0, 0, 0}), 2.2f, 0.0f, 0.3f, 48);
    b.object("TOWER", "BLUE").addCylinder(Frame::at({0, 0, 0}), 1.45f, 0.3f, 2.75f, 40);
    b.object("BEARING", "ALU").addCylinder(Frame::at({0, 0, 0}), 1.55f, 2.75f, baseHeight, 40);
    return b.take();
}

PartModel turntable()
{
    PartBuilder b;
    PartMesh &table = b.object("TURNTABLE", "ALU");
    table.addCylinder(Frame::at({0, 0, 0}), 1.5f, 0.0f, 0.25f, 40);
    std::vector<Vec2> outline{{-0.5f, 0.25f}, {0.5f, 0.25f}};
    const std::vector<Vec2> top = arc({0, shoulderHeight}, 0.5f, 0, 180, 10);
    outline.insert(outline.end(), top.begin(), top.end());
    sidePlates(table, outline, 1.12f, 1.26f);
    table.addBox({-0.5f, -0.3f, 0.25f}, {0.5f, 0.3f, 0.66f});
    b.object("SERVO2", "SERVO").addBox({-0.6f, -0.4f, shoulderHeight - 0.5f}, {0.6f, 0.4f, shoulderHeight + 0.5f});
    servoHorn(b.object("HORN2", "WHITE"), {0.6f, 0, shoulderHeight}, 0.34f, 0.32f);
    return b.take();
}

PartModel upperArm()
{
    PartBuilder b;
    PartMesh &link = b.object("LINK1", "BLUE");
    sidePlates(link, stadium(0.45f, linkLength), 0.94f, 1.08f);
    link.addBox({-0.94f, -0.12f, 1.1f}, {0.94f, 0.12f, 2.2f});
    b.object("SERVO3", "SERVO").addBox({-0.6f, -0.4f, linkLength - 0.5f}, {0.6f, 0.4f, linkLength + 0.5f});
    servoHorn(b.object("HORN3", "WHITE"), {0.6f, 0, linkLength}, 0.16f, 0.3f);
    return b.take();
}

PartModel forearm()
{
    PartBuilder b;
    PartMesh &link = b.object("LINK2", "BLUE");
    sidePlates(link, stadium(0.42f, linkLength), 0.76f, 0.9f);
    link.addBox({-0.76f, -0.1f, 1.1f}, {0.76f, 0.1f, 2.2f});
    b.object("SERVO4", "SERVO").addBox({-0.55f, -0.38f, linkLength - 0.48f}, {0.55f, 0.38f, linkLength + 0.48f});
    servoHorn(b.object("HORN4", "WHITE"), {0.55f, 0, linkLength}, 0.09f, 0.28f);
    return b.take();
}

PartModel wristBracket()
{
    PartBuilder b;
    PartMesh &wrist = b.object("WRIST", "ALU");
    std::vector<Vec2> outline = arc({0, 0}, 0.4f, 180, 360, 10);
    outline.push_back({0.4f, 1.3f});
    outline.push_back({-0.4f, 1.3f});
    sidePlates(wrist, outline, 0.64f, 0.74f);
    wrist.addBox({-0.74f, -0.45f, 1.3f}, {0.74f, 0.6f, 1.45f});
    return b.take();
}

PartModel wristServo()
{
    PartBuilder b;
    b.object("SERVO5", "SERVO").addBox({-0.42f, -0.46f, 1.45f}, {0.42f, 0.6f, 2.62f});
    b.object("HORN5", "WHITE").addCylinder(Frame::at({0, wristOffsetY, 2.62f}), 0.25f, 0.0f, wristLength - 2.62f, 24);
    return b.take();
}

PartModel gripperPalm()
{
    PartBuilder b;
    PartMesh &palm = b.object("PALM", "ALU");
    palm.addCylinder(Frame::at({0, 0, 0}), 0.55f, 0.0f, 0.12f, 32);
    palm.addBox({-0.8f, -0.5f, 0.12f}, {0.8f, 0.45f, 0.27f});
    b.object("SERVO6", "SERVO").addBox({-0.55f, 0.0f, 0.27f}, {0.55f, 0.45f, 1.15f});
    PartMesh &fork = b.object("FORK", "GREY");
    fork.addBox({-0.62f, fingerPivotY - 0.16f, 0.27f}, {0.62f, fingerPivotY + 0.16f, fingerPivotHeight - 0.12f});
    return b.take();
}

// The finger of the +X side, modelled about its pivot; it leans in toward the gripper's middle
// so that the pads meet when the finger has turned a few degrees inward.
PartModel finger(bool mirrored)
{
    PartBuilder b;
    PartMesh &body = b.object(mirrored ? "FINGER_R" : "FINGER_L", "ALU");
    body.addCylinder(Frame::alongY({0, -0.14f, 0}), 0.14f, 0.0f, 0.28f, 20);
    body.addPrism(Frame::xzPlane(0), {{-0.09f, 0.0f}, {0.09f, 0.0f}, {-0.13f, 0.75f}, {-0.27f, 0.75f}}, -0.1f, 0.1f);
    body.addPrism(Frame::xzPlane(0), {{-0.27f, 0.7f}, {-0.13f, 0.7f}, {-0.13f, 1.75f}, {-0.27f, 1.75f}}, -0.12f, 0.12f);
    PartMesh &pad = b.object(mirrored ? "PAD_R" : "PAD_L", "RUBBER");
    pad.addBox({-0.3f, -0.11f, 1.0f}, {-0.27f, 0.11f, 1.7f});
    PartModel model = b.take();
    if (mirrored)
        for (PartMesh &mesh : model.objects)
            mesh.mirrorX();
    return model;
}

PartModel controllerBoard()
{
    PartBuilder b;
    const Vec2 min{-5.4f, 1.6f};
    const Vec2 max{-2.6f, 4.0f};
    PartMesh &board = b.object("BOARD", "PCB");
    board.addBox({min.x, min.y, 0.25f}, {max.x, max.y, 0.33f});
    board.projectTexCoords(min, max);
    PartMesh &posts = b.object("STANDOFF", "BRASS");
    for (float x : {min.x + 0.2f, max.x - 0.2f})
        for (float y : {min.y + 0.2f, max.y - 0.2f})
            posts.addCylinder(Frame::at({x, y, 0}), 0.09f, 0.0f, 0.25f, 12);
    return b.take();
}

PartModel cameraPost()
{
    PartBuilder b;
    const Vec3 foot{2.9f, 2.9f, 0.0f};
    PartMesh &post = b.object("CAMPOST", "BLACK");
    post.addCylinder(Frame::at(foot), 0.5f, 0.0f, 0.12f, 32);
    post.addCylinder(Frame::at(foot), 0.1f, 0.12f, 5.0f, 16);
    const Vec3 head{foot.x, foot.y, 5.3f};
    b.object("CAMERA", "WHITE").addBox({head.x - 0.45f, head.y - 0.45f, 5.0f}, {head.x + 0.45f, head.y + 0.45f, 5.6f});
    // The lens looks down at the arm's working area.
    const Vec3 toward = normalized(Vec3{-1.0f, -1.0f, -0.7f});
    b.object("LENS", "LENS").addCylinder(Frame::between(head, head + toward), 0.2f, 0.3f, 0.75f, 20);
    return b.take();
}

PartModel signalLight()
{
    PartBuilder b;
    const Vec3 foot{-2.9f, -2.9f, 0.0f};
    PartMesh &post = b.object("LAMPPOST", "BLACK");
    post.addCylinder(Frame::at(foot), 0.35f, 0.0f, 0.1f, 24);
    post.addCylinder(Frame::at(foot), 0.08f, 0.1f, 0.95f, 12);
    post.addCylinder(Frame::at(foot), 0.44f, 0.95f, 1.05f, 24);
    b.object("LAMP", "LAMP").addDome(Frame::at({foot.x, foot.y, 1.05f}), 0.4f, 24);
    return b.take();
}

PartModel cableAndScrews()
{
    PartBuilder b;
    b.object("CABLE", "BLACK").addCylinder(Frame::between({-2.7f, 2.3f, 0.07f}, {-1.4f, 1.5f, 0.07f}), 0.06f, 0.0f, 1.6f, 10);
    PartMesh &screws = b.object("SCREWS", "ALU");
    for (int k = 0; k < 4; ++k) {
        const double a = (45.0 + 90.0 * k) * std::numbers::pi / 180.0;
        screws.addCylinder(Frame::at({static_cast<float>(1.85 * std::cos(a)), static_cast<float>(1.85 * std::sin(a)), 0}),
                           0.13f, 0.3f, 0.38f, 12);
    }
    return b.take();
}

// Spare parts that ship with the arm; they are loaded with the others but not mounted.
PartModel spare(int fileNumber)
{
    PartBuilder b;
    switch (fileNumber) {
    case 9:
        b.object("SPARE_SERVO", "SERVO").addBox({-0.6f, -0.4f, 0.0f}, {0.6f, 0.4f, 1.0f});
        b.object("SPARE_HORN", "WHITE").addCylinder(Frame::at({0.3f, 0, 1.0f}), 0.3f, 0.0f, 0.08f, 24);
        break;
    case 10:
        b.object("ROUND_HORN", "WHITE").addCylinder(Frame::at({0, 0, 0}), 0.4f, 0.0f, 0.08f, 24);
        break;
    case 11:
        sidePlates(b.object("SPARE_BRACKET", "ALU"), stadium(0.4f, 2.0f), 0.5f, 0.6f);
        break;
    case 12: {
        PartMesh &screws = b.object("SPARE_SCREWS", "ALU");
        for (int i = 0; i < 4; ++i)
            screws.addCylinder(Frame::at({0.4f * i, 0, 0}), 0.08f, 0.0f, 0.5f, 10);
        break;
    }
    case 13:
        b.object("SPARE_PAD", "RUBBER").addBox({-0.15f, -0.11f, 0.0f}, {0.15f, 0.11f, 0.7f});
        break;
    default:
        b.object("SPARE_CABLE", "BLACK").addCylinder(Frame::between({0, 0, 0}, {2, 0, 0}), 0.06f, 0.0f, 2.0f, 10);
        break;
    }
    return b.take();
}

} // namespace

PartModel ArmParts::part(int fileNumber)
{
    switch (fileNumber) {
    case 1: return base();
    case 2: return turntable();
    case 3: return upperArm();
    case 4: return forearm();
    case 5: return wristBracket();
    case 6: return gripperPalm();
    case 7: return finger(false);
    case 8: return finger(true);
    case 15: return wristServo();
    case 16: return controllerBoard();
    case 17: return cameraPost();
    case 18: return signalLight();
    case 19: return cableAndScrews();
    default:
        if (fileNumber >= 9 && fileNumber <= 14)
            return spare(fileNumber);
        return {};
    }
}

} // namespace gen3ds
