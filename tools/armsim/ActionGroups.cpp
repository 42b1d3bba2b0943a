#include "tools/armsim/ActionGroups.h"

#include <algorithm>
#include <cmath>

namespace ActionGroups {

namespace {

constexpr std::array<int, 6> Middle{90, 90, 90, 90, 90, 180};

std::vector<Step> wave()
{
    return {{{90, 60, 120, 60, 90, 180}, 600},  {{50, 60, 120, 60, 90, 180}, 500},
            {{130, 60, 120, 60, 90, 180}, 800}, {{50, 60, 120, 60, 90, 180}, 800},
            {{90, 60, 120, 60, 90, 180}, 500},  {Middle, 600}};
}

std::vector<Step> nod()
{
    return {{{90, 90, 90, 40, 90, 180}, 400},  {{90, 90, 90, 140, 90, 180}, 500},
            {{90, 90, 90, 40, 90, 180}, 500},  {{90, 90, 90, 140, 90, 180}, 500},
            {Middle, 400}};
}

std::vector<Step> pickAndPlace()
{
    return {{{90, 90, 90, 90, 90, 90}, 500},    {{40, 45, 130, 50, 90, 90}, 900},
            {{40, 45, 130, 50, 90, 180}, 400},  {{40, 80, 100, 80, 90, 180}, 600},
            {{140, 80, 100, 80, 90, 180}, 1000}, {{140, 45, 130, 50, 90, 180}, 700},
            {{140, 45, 130, 50, 90, 90}, 400},  {{140, 80, 100, 80, 90, 90}, 500},
            {Middle, 900}};
}

std::vector<Step> lookAround()
{
    return {{{90, 110, 60, 100, 90, 180}, 700}, {{20, 110, 60, 100, 30, 180}, 1000},
            {{160, 110, 60, 100, 150, 180}, 1500}, {{90, 110, 60, 100, 90, 180}, 800},
            {Middle, 600}};
}

// The remaining groups are variations on a swing whose reach grows with the group number, so
// every button visibly does something different.
std::vector<Step> swing(int number)
{
    std::vector<Step> steps;
    const int reach = 10 + 4 * number;
    const int turns = 2 + number % 3;
    for (int i = 0; i < turns; ++i) {
        const int side = i % 2 == 0 ? 1 : -1;
        const double phase = (number + i) * 0.7;
        const int shoulder = 90 - static_cast<int>(std::lround(reach * 0.6 * std::sin(phase)));
        const int elbow = 90 + static_cast<int>(std::lround(reach * 0.5 * std::cos(phase)));
        steps.push_back({{std::clamp(90 + side * reach, 0, 180), std::clamp(shoulder, 0, 180),
                          std::clamp(elbow, 0, 180), std::clamp(90 - side * reach / 2, 0, 180),
                          std::clamp(90 + side * reach, 0, 270), i % 2 == 0 ? 120 : 180},
                         400 + 50 * number});
    }
    steps.push_back({Middle, 600});
    return steps;
}

} // namespace

std::vector<Step> Steps(int number)
{
    switch (number) {
    case 1: return wave();
    case 2: return nod();
    case 3: return pickAndPlace();
    case 4: return lookAround();
    default: break;
    }
    if (number < 1 || number > Count)
        return {};
    return swing(number);
}

} // namespace ActionGroups
