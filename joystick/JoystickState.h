#pragma once
#include <cstdint>

// The last reading of a game controller in the device layer's units: axes and
// sliders -1000..1000 (0 when the device lacks them), hats in degrees x 100
// clockwise from up (-1 centred), buttons 0x80 while pressed.
struct JoystickState
{
    int32_t lX;
    int32_t lY;
    int32_t lZ;
    int32_t lRx;
    int32_t lRy;
    int32_t lRz;
    int32_t rglSlider[2];
    int32_t rgdwPOV[4];
    uint8_t rgbButtons[128];
};
