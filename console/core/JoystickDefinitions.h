#pragma once
#include <array>
#include <cstdint>
#include <vector>

// What the joystick definitions file says: two stick axes, numbered functions
// (lists of item settings) and what buttons 0 to 15 run. Written once at
// start-up, read-only afterwards (also by the polling thread).

// One stick axis driving one item. Slot 0 is driven by the stick's X, slot 1 by its Y.
struct JoystickAxisDef
{
    static constexpr int32_t kNoType = 12;

    int32_t nDataType = kNoType;
    bool bValid = false;
    bool bPair = false;
    int32_t nAxis = 0;
    int32_t nSubsystem = 0;  // address parts travel as their low byte
    int32_t nIndex = 0;
    int32_t nItem = 0;
    double dMin = 0.0;
    double dMax = 0.0;
    bool bIncremental = false;
    double dGain = 0.0;
};

// One item setting of a function.
struct JoystickFunctionItem
{
    int32_t nDataType = 0;
    int32_t nSubsystem = 0;
    int32_t nIndex = 0;
    int32_t nItem = 0;
    double dValue = 0.0;
};

// What one button runs: a press and maybe a release function, or a cycle of
// functions run in turn on successive presses.
struct JoystickButtonDef
{
    bool bPress = false;
    bool bRelease = false;
    bool bCycle = false;
    int32_t nPressFunction = 0;
    int32_t nReleaseFunction = 0;
    std::vector<int32_t> cycle;
};

struct JoystickDefinitions
{
    static constexpr int kSlots = 2;
    static constexpr int kFunctions = 256;  // numbered 1 to 256
    static constexpr int kButtons = 16;     // joystick buttons 0 to 15

    std::array<JoystickAxisDef, kSlots> axes{};
    std::array<std::vector<JoystickFunctionItem>, kFunctions + 1> functions{};  // [0] unused
    std::array<JoystickButtonDef, kButtons> buttons{};
};
