#include "cJoystickDecoder.h"
#include "cPipeJoystick.h"

#include <gtest/gtest.h>

namespace
{
input_event Event(uint16_t nType, uint16_t nCode, int32_t nValue)
{
    input_event event{};
    event.type = nType;
    event.code = nCode;
    event.value = nValue;
    return event;
}

void Frame(cJoystickDecoder& decoder, JoystickState& state, std::initializer_list<input_event> events)
{
    for (const input_event& event : events)
        decoder.Apply(event, state);
    decoder.Apply(Event(EV_SYN, SYN_REPORT, 0), state);
}
} // namespace

TEST(JoystickDecoder, EveryAxisRangeMapsOntoPlusMinusThousand)
{
    EXPECT_EQ(cJoystickDecoder::Scale(0, 0, 255), -1000);
    EXPECT_EQ(cJoystickDecoder::Scale(255, 0, 255), 1000);
    EXPECT_EQ(cJoystickDecoder::Scale(-32768, -32768, 32767), -1000);
    EXPECT_EQ(cJoystickDecoder::Scale(32767, -32768, 32767), 1000);
    EXPECT_EQ(cJoystickDecoder::Scale(0, -32768, 32767), 0);
    EXPECT_EQ(cJoystickDecoder::Scale(512, 0, 1023), 1);
    EXPECT_EQ(cJoystickDecoder::Scale(-1, -1, 1), -1000);
    EXPECT_EQ(cJoystickDecoder::Scale(0, -1, 1), 0);
    // Readings outside the declared range, and a range of one value.
    EXPECT_EQ(cJoystickDecoder::Scale(300, 0, 255), 1000);
    EXPECT_EQ(cJoystickDecoder::Scale(-5, 0, 255), -1000);
    EXPECT_EQ(cJoystickDecoder::Scale(7, 7, 7), 0);
    EXPECT_EQ(cJoystickDecoder::Scale(INT32_MAX, INT32_MIN, INT32_MAX), 1000);
}

TEST(JoystickDecoder, HatDirectionsBecomeDegreesClockwiseFromUp)
{
    EXPECT_EQ(cJoystickDecoder::HatDegrees(0, 0), -1);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(0, -1), 0);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(1, -1), 4500);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(1, 0), 9000);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(1, 1), 13500);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(0, 1), 18000);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(-1, 1), 22500);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(-1, 0), 27000);
    EXPECT_EQ(cJoystickDecoder::HatDegrees(-1, -1), 31500);
}

// The state starts from the readings the device declares, and only the six
// standard axes are flagged.
TEST(JoystickDecoder, StartsFromTheDeclaredReadings)
{
    cJoystickDecoder decoder;
    JoystickState state;
    decoder.Start(joystick_caps::Stick(), state);
    EXPECT_EQ(decoder.AxisFlags(), 0x07);
    EXPECT_EQ(state.lX, 4);  // 128 of 0..255 is just right of centre
    EXPECT_EQ(state.lZ, -1000);
    EXPECT_EQ(state.lRx, 0);
    EXPECT_EQ(state.rglSlider[0], 1000);  // the throttle
    EXPECT_EQ(state.rgdwPOV[0], -1);
    EXPECT_EQ(decoder.ButtonCount(), 4);

    decoder.Start(joystick_caps::Gamepad(), state);
    EXPECT_EQ(decoder.AxisFlags(), 0x01 | 0x02 | 0x08 | 0x10);  // no Z
    EXPECT_EQ(state.lX, 0);

    JoystickCapabilities caps = joystick_caps::Gamepad();
    caps.axes.push_back({ABS_HAT0X, 0, 2, 2});  // a hat centred on 1, pushed right
    caps.axes.push_back({ABS_HAT0Y, 0, 2, 1});
    caps.buttons.front().bPressed = true;
    decoder.Start(caps, state);
    EXPECT_EQ(state.rgdwPOV[0], 9000);
    EXPECT_EQ(state.rgbButtons[0], 0x80);
}

TEST(JoystickDecoder, MovementsTakeEffectTogetherAtTheEndOfTheirFrame)
{
    cJoystickDecoder decoder;
    JoystickState state;
    decoder.Start(joystick_caps::Stick(), state);

    decoder.Apply(Event(EV_ABS, ABS_X, 255), state);
    decoder.Apply(Event(EV_ABS, ABS_Y, 0), state);
    EXPECT_EQ(state.lX, 4);
    decoder.Apply(Event(EV_SYN, SYN_REPORT, 0), state);
    EXPECT_EQ(state.lX, 1000);
    EXPECT_EQ(state.lY, -1000);

    // A frame the kernel dropped part of is discarded.
    decoder.Apply(Event(EV_ABS, ABS_X, 0), state);
    decoder.Apply(Event(EV_SYN, SYN_DROPPED, 0), state);
    decoder.Apply(Event(EV_SYN, SYN_REPORT, 0), state);
    EXPECT_EQ(state.lX, 1000);

    Frame(decoder, state, {Event(EV_ABS, ABS_HAT0X, 1)});
    EXPECT_EQ(state.rgdwPOV[0], 9000);
    Frame(decoder, state, {Event(EV_ABS, ABS_HAT0Y, -1)});
    EXPECT_EQ(state.rgdwPOV[0], 4500);
    Frame(decoder, state, {Event(EV_ABS, ABS_HAT0X, 0), Event(EV_ABS, ABS_HAT0Y, 0)});
    EXPECT_EQ(state.rgdwPOV[0], -1);
}

// Joystick and gamepad codes (and the ones above them) are numbered first,
// then the BTN_MISC range; keyboard keys are not buttons.
TEST(JoystickDecoder, ButtonsAreNumberedAsTheJoystickInterfaceDoes)
{
    JoystickCapabilities caps = joystick_caps::Gamepad();
    caps.buttons = {{KEY_A, false}, {BTN_0, false}, {BTN_TRIGGER_HAPPY1, false}, {BTN_SOUTH, false}, {BTN_TRIGGER, false}};
    cJoystickDecoder decoder;
    JoystickState state;
    decoder.Start(caps, state);
    EXPECT_EQ(decoder.ButtonCount(), 4);

    Frame(decoder, state, {Event(EV_KEY, BTN_SOUTH, 1), Event(EV_KEY, BTN_0, 1), Event(EV_KEY, KEY_A, 1)});
    EXPECT_EQ(state.rgbButtons[0], 0);     // BTN_TRIGGER
    EXPECT_EQ(state.rgbButtons[1], 0x80);  // BTN_SOUTH
    EXPECT_EQ(state.rgbButtons[2], 0);     // BTN_TRIGGER_HAPPY1
    EXPECT_EQ(state.rgbButtons[3], 0x80);  // BTN_0
    EXPECT_EQ(state.rgbButtons[4], 0);

    Frame(decoder, state, {Event(EV_KEY, BTN_SOUTH, 2), Event(EV_KEY, BTN_0, 0)});  // 2: auto-repeat
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    EXPECT_EQ(state.rgbButtons[3], 0);
}
