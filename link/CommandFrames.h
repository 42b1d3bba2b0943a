#pragma once

#include <array>
#include <string>
#include <string_view>

// Every frame the program sends is built here, so no caller formats a frame by hand.
// Computed checksums are lower-case hex; the fixed frames are the exact texts the controller's
// firmware compares against (some end in upper-case hex).
namespace CommandFrames {

enum class Light { Off = 0, Red = 1, Green = 2, Blue = 3, On = 4 };

std::string RequestAngles();                                        // $0302060b#
std::string SingleServo(int servo, int angle);                      // $0407%02d%03d%02x#
std::string AllServos(const std::array<int, 6> &angles, int timeMs); // $052006...%04d%02x#
std::string WriteServoId(int id);                                    // $0602%02d%02x#
std::string Middle();                                                // $070007#
std::string RunAction(int number);                                   // $0802%02d%02x#, 1 to 15
std::string Stop();                                                  // $090100a#
std::string Restore();                                               // $090110b#
std::string SetMedian(int id);                                       // $0A02%02d%02x#
std::string RestoreMedians();                                        // $0A02000c#
std::string SetLight(Light light);
std::string FaceTracking(bool start);                                // $0F011%x# / $0F010%x#
std::string ColourTracking(int colour);                              // $1001%02d%x#, 0 (off) to 4
std::string ColourInteraction();                                     // $10020517#
std::string StartTracking();                                         // $10020618#

// Sorting-game dialog.
enum class CalibrationStep { Start = 1, Confirm = 2, Cancel = 3 };
enum class AreaMove { Up = 1, Down = 2, Left = 3, Right = 4 };
std::string CalibrationArea(CalibrationStep step);                   // $11020%d.. fixed texts
std::string CalibrateColour(CalibrationStep step, int colour);      // $1302%d%d%02x#
std::string MoveArea(AreaMove move);                                 // $15011..$150141A#
std::string Threshold(int position);                                 // $1403%03d%02x#
// order: four colour-code digits; start false sends the order only, true starts the game.
std::string ColourSorting(bool start, std::string_view order);      // $0D06%d<order>%02x#
std::string ColourStacking(bool start, std::string_view order);     // $0E06%d<order>%02x#
std::string GarbageRecognition();                                    // $12020115#
std::string GarbageSorting();                                        // $12020216#

} // namespace CommandFrames
