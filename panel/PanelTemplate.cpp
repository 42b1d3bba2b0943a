#include "panel/PanelTemplate.h"

#include <array>

namespace PanelId {

namespace {
constexpr std::array<int, 15> actionControls = {1061, 1062, 1063, 1064, 1065, 1066, 1071, 1072,
                                                1073, 1067, 1068, 1069, 1074, 1075, 1070};
}

int ActionButton(int number)
{
    if (number < 1 || number > static_cast<int>(actionControls.size()))
        return 0;
    return actionControls[static_cast<size_t>(number - 1)];
}

} // namespace PanelId

namespace PanelTemplate {

using K = PanelControl::Kind;

QSize FormSize()
{
    return {238, 402};
}

const std::vector<PanelControl> &Controls()
{
    static const std::vector<PanelControl> controls = {
        {1014, K::PushButton, "Connect", {153, 14, 45, 14}, PanelControl::Coloured},
        {1089, K::Label, "1：", {16, 24, 13, 8}, 0},
        {1090, K::Label, "2：", {16, 41, 13, 8}, 0},
        {1091, K::Label, "3：", {16, 58, 13, 8}, 0},
        {1092, K::Label, "4：", {16, 75, 13, 8}, 0},
        {1093, K::Label, "5：", {16, 92, 13, 8}, 0},
        {1094, K::Label, "6：", {16, 109, 13, 8}, 0},
        {1038, K::Slider, "", {26, 22, 100, 12}, 0},
        {1039, K::Slider, "", {26, 39, 100, 12}, 0},
        {1040, K::Slider, "", {26, 56, 100, 12}, 0},
        {1041, K::Slider, "", {26, 73, 100, 12}, 0},
        {1042, K::Slider, "", {26, 90, 100, 12}, 0},
        {1043, K::Slider, "", {26, 107, 100, 12}, 0},
        {1044, K::Label, "90", {129, 24, 20, 8}, 0},
        {1045, K::Label, "90", {129, 41, 20, 8}, 0},
        {1046, K::Label, "90", {129, 58, 20, 8}, 0},
        {1047, K::Label, "90", {129, 75, 20, 8}, 0},
        {1048, K::Label, "90", {129, 92, 20, 8}, 0},
        {1049, K::Label, "90", {129, 109, 20, 8}, 0},
        {1051, K::PushButton, "Add", {15, 221, 50, 14}, 0},
        {1052, K::PushButton, "Delete", {70, 221, 50, 14}, 0},
        {1053, K::PushButton, "Clear", {125, 221, 50, 14}, 0},
        {1054, K::Edit, "", {107, 205, 39, 12}, 0},
        {1096, K::Label, "Action group interval time:", {13, 206, 86, 12}, 0},
        {1097, K::Label, "ms", {155, 206, 11, 8}, 0},
        {1055, K::PushButton, "Loop", {185, 220, 38, 14}, 0},
        {1056, K::PushButton, "Single", {185, 203, 38, 14}, 0},
        {1057, K::PushButton, "Update", {153, 65, 38, 14}, PanelControl::Coloured},
        {1058, K::PushButton, "Postion", {153, 80, 38, 14}, PanelControl::Coloured},
        {1059, K::List, "", {16, 144, 200, 56}, 0},
        {1086, K::GroupBox, "Control TAVRIK", {5, 9, 144, 116}, 0},
        {1060, K::PushButton, "Middle", {153, 50, 38, 14}, PanelControl::Coloured},
        {1087, K::GroupBox, "Control action group", {5, 129, 221, 109}, 0},
        {1061, K::PushButton, "Action1", {16, 277, 38, 14}, 0},
        {1062, K::PushButton, "Action2", {57, 277, 38, 14}, 0},
        {1063, K::PushButton, "Action3", {98, 277, 38, 14}, 0},
        {1064, K::PushButton, "Action4", {139, 277, 38, 14}, 0},
        {1065, K::PushButton, "Action5", {180, 277, 38, 14}, 0},
        {1066, K::PushButton, "Action6", {16, 293, 38, 14}, 0},
        {1067, K::PushButton, "Action10", {180, 293, 38, 14}, 0},
        {1068, K::PushButton, "Action11", {16, 309, 38, 14}, 0},
        {1069, K::PushButton, "Action12", {57, 309, 38, 14}, 0},
        {1070, K::PushButton, "Action15", {180, 309, 38, 14}, 0},
        {1071, K::PushButton, "Action7", {57, 293, 38, 14}, 0},
        {1072, K::PushButton, "Action8", {98, 293, 38, 14}, 0},
        {1073, K::PushButton, "Action9", {139, 293, 38, 14}, 0},
        {1074, K::PushButton, "Action13", {98, 309, 38, 14}, 0},
        {1075, K::PushButton, "Action14", {139, 309, 38, 14}, 0},
        {1088, K::GroupBox, "Custom action group", {5, 260, 227, 71}, 0},
        {1095, K::Label, "Version：", {155, 36, 34, 8}, 0},
        {1076, K::Picture, "", {207, 13, 20, 20}, 0},
        {1005, K::Edit, "", {28, 241, 16, 14}, PanelControl::DigitsOnly | PanelControl::Centred},
        {1077, K::PushButton, "Setting", {52, 240, 29, 14}, 0},
        {1098, K::Label, "ID", {15, 243, 8, 8}, 0},
        {1078, K::Label, "Vx.x", {200, 36, 15, 8}, 0},
        {1037, K::PushButton, "Stop", {195, 51, 37, 42}, PanelControl::Coloured},
        {1011, K::Edit, "", {112, 241, 16, 14}, 0},
        {1079, K::PushButton, "Set median", {128, 241, 45, 14}, 0},
        {1099, K::Label, "ID", {100, 243, 8, 8}, 0},
        {1080, K::PushButton, "Restore median", {176, 241, 54, 14}, 0},
        {1085, K::CheckBox, "Drag to refresh", {154, 95, 61, 12}, 0},
        {1100, K::PushButton, "R", {156, 111, 16, 14}, PanelControl::Coloured},
        {1101, K::PushButton, "G", {175, 111, 16, 14}, PanelControl::Coloured},
        {1102, K::PushButton, "B", {194, 111, 16, 14}, PanelControl::Coloured},
        {1103, K::PushButton, "OFF", {213, 111, 16, 14}, PanelControl::Coloured},
        {1104, K::GroupBox, "Sorting game", {5, 332, 227, 31}, 0},
        {1081, K::PushButton, "Color sorting", {17, 344, 49, 14}, 0},
        {1082, K::PushButton, "Color stacking", {84, 344, 57, 14}, 0},
        {1083, K::PushButton, "Color \ntracking", {70, 375, 38, 18}, 0},
        {1084, K::PushButton, "Face tracking\nON", {9, 375, 51, 18}, 0},
        {1108, K::ComboBox, "", {112, 378, 37, 62}, 0},
        {1136, K::PushButton, "Garbage sorting", {155, 344, 56, 14}, 0},
        {1106, K::GroupBox, "Tracking game", {5, 365, 227, 36}, 0},
        {1105, K::PushButton, "Color \ninteraction", {152, 375, 38, 19}, 0},
        {1107, K::PushButton, "Start \ntracking", {192, 375, 38, 19}, 0},
    };
    return controls;
}

} // namespace PanelTemplate
