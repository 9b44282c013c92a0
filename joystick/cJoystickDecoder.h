#pragma once
#include "JoystickState.h"
#include "cJoystickSource.h"

#include <cstdint>
#include <vector>

// Turns evdev records into a JoystickState: each absolute axis scaled from its
// own range, the hats as degrees, buttons numbered as the kernel's joystick
// interface numbers them (joystick and gamepad buttons first, then the other
// BTN_MISC codes). Records take effect together at the SYN_REPORT that ends
// their frame, so a reader never sees half a movement.
class cJoystickDecoder
{
public:
    static constexpr int kMaxButtons = 128;

    // Learns the layout from the capabilities and sets the state to the
    // device's current readings.
    void Start(const JoystickCapabilities& caps, JoystickState& state);
    void Apply(const input_event& event, JoystickState& state);

    // Bits 0x01 X, 0x02 Y, 0x04 Z, 0x08 Rx, 0x10 Ry, 0x20 Rz for the axes present.
    uint8_t AxisFlags() const { return m_nAxisFlags; }
    int ButtonCount() const { return m_nButtons; }

    static int32_t Scale(int32_t nValue, int32_t nMinimum, int32_t nMaximum);
    // Degrees x 100 for a hat's two axes (negative x left, negative y up), -1 centred.
    static int32_t HatDegrees(int32_t nX, int32_t nY);

private:
    enum class eTarget : uint8_t
    {
        None,
        Axis,    // m_nIndex 0..5: X, Y, Z, Rx, Ry, Rz
        Slider,  // 0..1
        HatX,    // 0..3
        HatY,
    };
    struct AbsMapping
    {
        eTarget target = eTarget::None;
        uint8_t nIndex = 0;
        int32_t nMinimum = 0;
        int32_t nMaximum = 0;
    };

    void ApplyNow(const input_event& event, JoystickState& state);
    void SetAbs(uint16_t nCode, int32_t nValue, JoystickState& state);
    static int32_t HatOffset(int32_t nValue, const AbsMapping& mapping);

    AbsMapping m_Abs[ABS_CNT];
    int16_t m_ButtonOf[KEY_CNT] = {};  // button number + 1, 0 when not a button
    int32_t m_HatX[4] = {};
    int32_t m_HatY[4] = {};
    uint8_t m_nAxisFlags = 0;
    int m_nButtons = 0;
    std::vector<input_event> m_Pending;  // records of the frame not yet ended
};
