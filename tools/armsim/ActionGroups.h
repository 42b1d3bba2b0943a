#pragma once

#include <array>
#include <vector>

// The fifteen action groups stored in the stand-in's memory, as a real controller keeps the ones
// its owner recorded: each is a list of poses (servos 1 to 6) with the time to reach each one.
namespace ActionGroups {

constexpr int Count = 15;

struct Step
{
    std::array<int, 6> angles;
    int timeMs;
};

// Steps of group number (1 to Count); empty for any other number.
std::vector<Step> Steps(int number);

} // namespace ActionGroups
