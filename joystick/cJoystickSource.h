#pragma once
#include <cstdint>
#include <linux/input.h>
#include <string>
#include <vector>

struct JoystickAxis
{
    uint16_t nCode;  // ABS_*
    int32_t nMinimum;
    int32_t nMaximum;
    int32_t nValue;  // current reading
};

struct JoystickButton
{
    uint16_t nCode;  // BTN_* or KEY_*
    bool bPressed;
};

// What a device has, with its current readings: evdev only reports changes,
// so a reader starts from these.
struct JoystickCapabilities
{
    std::vector<JoystickAxis> axes;
    std::vector<JoystickButton> buttons;
};

// One game controller seen as its capabilities and a stream of evdev records
// (struct input_event). Everything above this interface is the same for a
// real device and for the tests' pipe-fed one.
class cJoystickSource
{
public:
    virtual ~cJoystickSource() = default;

    virtual std::string Name() const = 0;  // for log lines
    // False while the device cannot tell yet.
    virtual bool ReadCapabilities(JoystickCapabilities& caps) = 0;
    // Appends the records waiting now without blocking; false when the device
    // failed (unplugged), after which only Reopen helps.
    virtual bool ReadEvents(std::vector<input_event>& events) = 0;
    // Finds the same device again after a failure; true when it answers. Its
    // capabilities must then be read again.
    virtual bool Reopen() = 0;
};
