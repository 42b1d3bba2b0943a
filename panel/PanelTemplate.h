#pragma once

#include <QRect>
#include <QSize>

#include <vector>

// Form template 132: every control of the control panel with its number, kind, caption and
// rectangle in dialog units. The numbers are also the controls' object names (decimal), so tests
// and accessibility tools find each control by its number.
namespace PanelId {
constexpr int Template = 132;

constexpr int ServoIdEdit = 1005;
constexpr int IdNumberEdit = 1011;
constexpr int Connect = 1014;
constexpr int Stop = 1037;
constexpr int Slider1 = 1038;      // servo k: Slider1 + k - 1, up to 1043
constexpr int AngleLabel1 = 1044;  // servo k: AngleLabel1 + k - 1, up to 1049
constexpr int Add = 1051;
constexpr int Delete = 1052;
constexpr int Clear = 1053;
constexpr int IntervalEdit = 1054;
constexpr int Loop = 1055;
constexpr int Single = 1056;
constexpr int Update = 1057;
constexpr int Postion = 1058;
constexpr int ActionList = 1059;
constexpr int Middle = 1060;
constexpr int ConnectionPicture = 1076;
constexpr int Setting = 1077;
constexpr int VersionLabel = 1078;
constexpr int SetMedian = 1079;
constexpr int RestoreMedian = 1080;
constexpr int ColorSorting = 1081;
constexpr int ColorStacking = 1082;
constexpr int ColorTracking = 1083;
constexpr int FaceTracking = 1084;
constexpr int DragToRefresh = 1085;
constexpr int ControlGroup = 1086;
constexpr int ActionGroup = 1087;
constexpr int CustomActionGroup = 1088;
constexpr int ServoName1 = 1089;   // up to 1094
constexpr int VersionCaption = 1095;
constexpr int IntervalCaption = 1096;
constexpr int IntervalUnit = 1097;
constexpr int ServoIdCaption = 1098;
constexpr int IdNumberCaption = 1099;
constexpr int LightRed = 1100;
constexpr int LightGreen = 1101;
constexpr int LightBlue = 1102;
constexpr int LightToggle = 1103;
constexpr int SortingGroup = 1104;
constexpr int ColorInteraction = 1105;
constexpr int TrackingGroup = 1106;
constexpr int StartTracking = 1107;
constexpr int ColourBox = 1108;
constexpr int GarbageSorting = 1136;

constexpr int DisconnectedIcon = 135;
constexpr int ConnectedIcon = 136;
constexpr int PlaybackTimer = 2;

// The Action buttons are not numbered in caption order.
int ActionButton(int number); // 1 to 15 -> control number, 0 otherwise
} // namespace PanelId

struct PanelControl
{
    enum class Kind { PushButton, Label, Slider, Edit, GroupBox, List, Picture, CheckBox, ComboBox };
    enum Flag { None = 0, DigitsOnly = 1, Centred = 2, Coloured = 4 };

    int id;
    Kind kind;
    const char *caption; // UTF-8
    QRect rect;          // dialog units
    int flags;
};

namespace PanelTemplate {

// Size of the form in dialog units, and its font.
QSize FormSize();
constexpr const char *FontFace = "System";
constexpr int FontPointSize = 10;
// The controls in template order, which is also creation and keyboard-focus order.
const std::vector<PanelControl> &Controls();

} // namespace PanelTemplate
