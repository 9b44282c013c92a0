#pragma once
#include "cJoystickProvider.h"

#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

// A game controller for the tests: declared capabilities, and real evdev
// records written into a pipe that its source reads. Unplug closes the writing
// end (the reader sees end of file, as with a device that went away); Plug
// brings it back on a fresh pipe, for the source's Reopen to find.
class cPipeJoystick
{
public:
    struct Record
    {
        uint16_t nType;
        uint16_t nCode;
        int32_t nValue;
    };

    explicit cPipeJoystick(JoystickCapabilities caps, const char* szName = "pipe joystick");
    ~cPipeJoystick();
    cPipeJoystick(const cPipeJoystick&) = delete;
    cPipeJoystick& operator=(const cPipeJoystick&) = delete;

    // The records, then SYN_REPORT.
    void SendFrame(std::initializer_list<Record> records);
    void Unplug();
    void Plug(JoystickCapabilities caps);
    // The next n capability reads answer "not ready yet".
    void DelayCapabilities(int nReads);

    std::unique_ptr<cJoystickSource> MakeSource();

    struct Shared;  // what the device end and the test end share

private:
    std::shared_ptr<Shared> m_pShared;
};

// Offers the test's controllers, in the order given, as the attached ones.
class cPipeProvider : public cJoystickProvider
{
public:
    explicit cPipeProvider(std::vector<std::shared_ptr<cPipeJoystick>> devices) : m_Devices(std::move(devices)) {}

    std::unique_ptr<cJoystickSource> Open(int32_t nIndex) override;

private:
    std::vector<std::shared_ptr<cPipeJoystick>> m_Devices;
};

// Common shapes of controllers for the tests.
namespace joystick_caps
{
// X and Y from 0 to 255 (centred at 128), Z and throttle, a hat, four buttons.
JoystickCapabilities Stick();
// X, Y, Rx, Ry from -32768 to 32767, a hat, gamepad buttons; no Z.
JoystickCapabilities Gamepad();
} // namespace joystick_caps
