#pragma once
#include "cJoystickProvider.h"

#include <cstdint>
#include <functional>
#include <memory>

// Base of the input devices: holds the platform's input interface (which
// lists and opens game controllers). The DX names are the design's; here the
// interface is Linux evdev, read through libevdev. Each device object holds its own
// reference, so destroying one device never pulls the interface from under
// another.
class DXInputDevice
{
public:
    using InterfaceFactory = std::function<std::shared_ptr<cJoystickProvider>()>;

    DXInputDevice() = default;
    virtual ~DXInputDevice();
    DXInputDevice(const DXInputDevice&) = delete;
    DXInputDevice& operator=(const DXInputDevice&) = delete;

    virtual bool Update() = 0;

    // Where new devices get their interface; an empty function restores evdev.
    // Lets the tests put their own controllers behind the device layer.
    static void SetInterfaceFactory(InterfaceFactory fnFactory);

protected:
    // 0 when the interface exists (created now or before), -1 otherwise.
    virtual int32_t CreateInterface();

    std::shared_ptr<cJoystickProvider> m_pInterface;
};
