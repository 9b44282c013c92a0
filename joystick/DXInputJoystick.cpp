#include "DXInputJoystick.h"

#include "DbgLog.h"

#include <chrono>
#include <thread>

DXInputJoystick::DXInputJoystick(NxValue hWnd, int32_t nDeviceIndex) : m_nDeviceIndex(nDeviceIndex)
{
    Open(hWnd);
}

DXInputJoystick::~DXInputJoystick() = default;

int32_t DXInputJoystick::Open(NxValue hWnd)
{
    // evdev has no cooperative levels: reading is never exclusive and goes on
    // in the background, which is what the window handle asked for.
    (void)hWnd;
    if (CreateInterface() != 0)
        return -1;
    m_pDevice = m_pInterface->Open(m_nDeviceIndex);
    if (!m_pDevice)
        return 0;

    JoystickCapabilities caps;
    if (!WaitForCapabilities(caps))
    {
        DbgLog(DBG_WRN, "DXInputJoystick::Open", __LINE__,
               DbgLogFormat("(%s) reported no capabilities within %d ms, not used", m_pDevice->Name().c_str(),
                            kCapabilityAttempts * kCapabilityPauseMs));
        m_pDevice.reset();
        return 0;
    }
    m_Decoder.Start(caps, m_State);
    m_nAxisFlags = m_Decoder.AxisFlags();
    DbgLog(DBG_INF, "DXInputJoystick::Open", __LINE__,
           DbgLogFormat("(%s) opened as device %d: axes 0x%02x, %d buttons", m_pDevice->Name().c_str(), m_nDeviceIndex,
                        m_nAxisFlags, m_Decoder.ButtonCount()));
    Update();
    return 1;
}

bool DXInputJoystick::WaitForCapabilities(JoystickCapabilities& caps)
{
    for (int nAttempt = 1; !m_pDevice->ReadCapabilities(caps); ++nAttempt)
    {
        if (nAttempt >= kCapabilityAttempts)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kCapabilityPauseMs));
    }
    return true;
}

bool DXInputJoystick::Update()
{
    if (!m_pDevice)
        return false;
    if (m_bLost && !Reacquire())
        return false;

    m_Events.clear();
    const bool bRead = m_pDevice->ReadEvents(m_Events);
    for (const input_event& event : m_Events)
        m_Decoder.Apply(event, m_State);
    if (!bRead)
    {
        m_bLost = true;
        DbgLog(DBG_WRN, "DXInputJoystick::Update", __LINE__,
               DbgLogFormat("(%s) stopped answering, looking for it again", m_pDevice->Name().c_str()));
        return false;
    }
    return true;
}

// After a failure the state keeps its last readings until the device answers;
// then it starts again from the device's current readings.
bool DXInputJoystick::Reacquire()
{
    if (!m_pDevice->Reopen())
        return false;
    JoystickCapabilities caps;
    if (!m_pDevice->ReadCapabilities(caps))
        return false;
    m_Decoder.Start(caps, m_State);
    m_nAxisFlags = m_Decoder.AxisFlags();
    m_bLost = false;
    DbgLog(DBG_WRN, "DXInputJoystick::Update", __LINE__,
           DbgLogFormat("(%s) answers again", m_pDevice->Name().c_str()));
    return true;
}
