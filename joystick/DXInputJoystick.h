#pragma once
#include "DXInputDevice.h"
#include "JoystickState.h"
#include "Portelle.h"
#include "cJoystickDecoder.h"

#include <cstdint>
#include <memory>
#include <vector>

// One attached game controller, chosen by its index among the attached ones.
// Opened by the constructor; Update reads what the device reported since the
// last call. A device that fails a read is looked for again on every later
// Update, so readings resume by themselves when it comes back.
class DXInputJoystick : public DXInputDevice
{
public:
    // How long Open waits for a device to report its capabilities.
    static constexpr int kCapabilityAttempts = 20;
    static constexpr int kCapabilityPauseMs = 100;

    DXInputJoystick(NxValue hWnd, int32_t nDeviceIndex);
    ~DXInputJoystick() override;

    bool Update() override;  // true: m_State holds a fresh reading
    // 1 opened; 0 no such device; negative when there is no input interface.
    virtual int32_t Open(NxValue hWnd);

    bool IsOpened() const { return m_pDevice != nullptr; }
    uint8_t AxisFlags() const { return m_nAxisFlags; }
    const JoystickState& State() const { return m_State; }

private:
    bool WaitForCapabilities(JoystickCapabilities& caps);
    bool Reacquire();

    uint8_t m_nAxisFlags = 0;
    std::unique_ptr<cJoystickSource> m_pDevice;
    JoystickState m_State{};
    int32_t m_nDeviceIndex;
    cJoystickDecoder m_Decoder;
    bool m_bLost = false;               // the last read failed; reopen before reading
    std::vector<input_event> m_Events;  // kept to avoid an allocation per poll
};
