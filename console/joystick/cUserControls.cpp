#include "cUserControls.h"

#include "DbgLog.h"

#include <cmath>
#include <exception>

cUserControls::cUserControls()
{
    m_AxisDeadZone.fill(kDeadZoneAxis);
}

cUserControls::~cUserControls()
{
    ReleaseController();
}

bool cUserControls::InitController(const std::string& sLibPath, NxValue hWindow, const std::string& sCfgPath,
                                   uint32_t nRetryPeriodMs, int32_t nDevice)
{
    // A second init starts afresh rather than leave the first controller running unowned.
    ReleaseController();
    m_sLibPath = sLibPath;
    m_hWindow = hWindow;
    m_sCfgPath = sCfgPath;
    m_nLastCreateError = Nx_OK;
    m_bAbsenceReported = false;
    if (ConnectController(nDevice))
        return true;
    if (nRetryPeriodMs > 0)
    {
        // Retries use the device asked for, not the first one.
        m_nRetryDevice = nDevice;
        // Said once: the retries stay quiet until a controller connects.
        DbgLog(DBG_WRN, "cUserControls::InitController", __LINE__,
               DbgLogFormat("no joystick: retrying every %u ms", nRetryPeriodMs));
        m_bAbsenceReported = true;
        return m_RetryThread.start(&cUserControls::RetryConnect, this, nRetryPeriodMs);
    }
    return false;
}

bool cUserControls::RetryConnect(void* pParam)
{
    cUserControls* pThis = static_cast<cUserControls*>(pParam);
    return !pThis->ConnectController(pThis->m_nRetryDevice);  // true: call again
}

bool cUserControls::ConnectController(int32_t nDevice)
{
    if (m_hController.load())
        return true;
    ResetTracking();
    // Before the controller exists: its polling thread reads it.
    m_sDeviceName = DbgLogFormat("device %d through %s", nDevice, m_sLibPath.c_str());

    NxHandle hController = nullptr;
    const NxResult nResult = Nx_ConCreate(&hController, m_sLibPath.c_str(), m_hWindow, nDevice, m_sCfgPath.c_str());
    if (nResult != Nx_OK)
    {
        // A retry that fails the same way again says nothing new.
        DbgLog(nResult != m_nLastCreateError ? DBG_ERR : DBG_DBG, "cUserControls::InitController", 100,
               DbgLogFormat("Nx_ConCreateIF(%s, %s) failed with error code %d", m_sLibPath.c_str(), m_sCfgPath.c_str(),
                            nResult));
        m_nLastCreateError = nResult;
        return false;
    }
    m_nLastCreateError = Nx_OK;
    m_hController = hController;
    const NxResult nCallback = Nx_ConSetCallback(hController, &cUserControls::ControllerCallback, this);
    if (nCallback != Nx_OK)
    {
        // Without callbacks the controller is no use; keeping it would leak one
        // plug-in instance per retry.
        DbgLog(DBG_ERR, "cUserControls::ConnectController", __LINE__,
               DbgLogFormat("Nx_ConSetCallback failed with error code %d; controller released", nCallback));
        Nx_ConDestroy(hController);
        m_hController = nullptr;
        return false;
    }
    if (m_bAbsenceReported)
    {
        DbgLog(DBG_WRN, "cUserControls::ConnectController", __LINE__,
               DbgLogFormat("joystick connected: %s", m_sDeviceName.c_str()));
        m_bAbsenceReported = false;
    }
    else
    {
        DbgLog(DBG_INF, "cUserControls::ConnectController", __LINE__,
               DbgLogFormat("Controller %d connected through %s", nDevice, m_sLibPath.c_str()));
    }
    return true;
}

void cUserControls::ReleaseController()
{
    m_RetryThread.stop();
    if (const NxHandle hController = m_hController.load())
    {
        // Destroy stops the polling thread: no record is handled after it returns.
        Nx_ConStopCallback(hController, &cUserControls::ControllerCallback);
        Nx_ConDestroy(hController);
        m_hController = nullptr;
    }
    std::lock_guard<std::mutex> lock(m_SnapshotMutex);
    m_nRecords = 0;
}

void NX_CALL cUserControls::ControllerCallback(void* pUserData, const ControllerState* pState)
{
    if (!pUserData || !pState)
        return;
    // Nothing may unwind into the plug-in's thread.
    try
    {
        static_cast<cUserControls*>(pUserData)->handleJoystickMessage(*pState);
    }
    catch (const std::exception& e)
    {
        DbgLog(DBG_ERR, "cUserControls::ControllerCallback", __LINE__, DbgLogFormat("record handling raised: %s", e.what()));
    }
    catch (...)
    {
        DbgLog(DBG_ERR, "cUserControls::ControllerCallback", __LINE__, "record handling raised an unknown exception");
    }
}

void cUserControls::ResetTracking()
{
    m_bXYActive = false;
    m_bZActive = false;
    m_AxisActive.fill(false);
    m_nLastPOV = -1;
    m_nLastButtons = 0xFFFFFFFFu;
    m_bBaseline = false;
    m_ButtonDown.fill(false);
    m_ButtonHeld.fill(false);
    m_ButtonHoldCount.fill(0);
    m_bPOVHeld = false;
    m_nPOVHoldCount = 0;
    m_bAnswering = true;
    std::lock_guard<std::mutex> lock(m_SnapshotMutex);
    m_nRecords = 0;
}

bool cUserControls::Shape(double dValue, double dDeadZone, double& dLinear, double& dExponential)
{
    static const double kE = std::exp(1.0);
    if (dValue > dDeadZone)
    {
        dLinear = (dValue - dDeadZone) / (1.0 - dDeadZone);
        dExponential = (std::exp(dLinear) - 1.0) / (kE - 1.0);
        return true;
    }
    if (dValue < -dDeadZone)
    {
        dLinear = (dValue + dDeadZone) / (1.0 - dDeadZone);
        dExponential = -(std::exp(-dLinear) - 1.0) / (kE - 1.0);
        return true;
    }
    dLinear = 0.0;
    dExponential = 0.0;
    return false;
}

void cUserControls::handleJoystickMessage(const ControllerState& state)
{
    {
        std::lock_guard<std::mutex> lock(m_SnapshotMutex);
        m_LastState = state;
        ++m_nRecords;
    }
    ReportAnswering(state.bValid != 0);
    HandleStick(state);
    HandleHat(state.nPOV);
    HandleButtons(state.nButtons);
    HandleHolds();
    m_sigDeviceValid(state.bValid != 0);
}

void cUserControls::ReportAnswering(bool bAnswering)
{
    // The plug-in goes on polling a device that went away, so a loss and a
    // return are seen here, once each, however long they last.
    if (bAnswering == m_bAnswering)
        return;
    m_bAnswering = bAnswering;
    DbgLog(DBG_WRN, "cUserControls::handleJoystickMessage", __LINE__,
           DbgLogFormat(bAnswering ? "joystick connected: %s" : "joystick lost: %s", m_sDeviceName.c_str()));
}

void cUserControls::HandleStick(const ControllerState& state)
{
    double dLinearX = 0.0, dExpX = 0.0, dLinearY = 0.0, dExpY = 0.0;
    const bool bOutX = Shape(state.dX, kDeadZoneXY, dLinearX, dExpX);
    const bool bOutY = Shape(state.dY, kDeadZoneXY, dLinearY, dExpY);
    if (bOutX || bOutY)
    {
        m_sigXY(static_cast<float>(dLinearX), static_cast<float>(dLinearY));
        m_sigXYExp(static_cast<float>(dExpX), static_cast<float>(dExpY));
        m_bXYActive = true;
    }
    else if (m_bXYActive)
    {
        m_sigXYCentred();
        m_bXYActive = false;
    }

    const float fZ = static_cast<float>(state.dZ);
    if (fZ > kDeadZoneZ || fZ < -kDeadZoneZ)
    {
        m_sigZ(fZ > kDeadZoneZ ? (fZ - kDeadZoneZ) / (1.0f - kDeadZoneZ) : (fZ + kDeadZoneZ) / (1.0f - kDeadZoneZ));
        m_bZActive = true;
    }
    else if (m_bZActive)
    {
        m_sigZCentred();
        m_bZActive = false;
    }

    const std::array<double, kAxes> values = {state.dX,  state.dY,  state.dZ,       state.dRx,
                                              state.dRy, state.dRz, state.dSlider0, state.dSlider1};
    for (int i = 0; i < kAxes; ++i)
    {
        if (!(state.nAxisFlags & (1u << i)))
            continue;
        const size_t n = static_cast<size_t>(i);
        double dLinear = 0.0, dExp = 0.0;
        if (Shape(values[n], m_AxisDeadZone[n], dLinear, dExp))
        {
            m_sigAxis(i, static_cast<float>(dLinear));
            m_sigAxisExp(i, static_cast<float>(dExp));
            m_AxisActive[n] = true;
        }
        else if (m_AxisActive[n])
        {
            m_sigAxisCentred(i);
            m_AxisActive[n] = false;
        }
    }
}

void cUserControls::HandleHat(int32_t nPOV)
{
    if (nPOV == m_nLastPOV)
        return;
    m_sigPOV(nPOV);
    if (nPOV != -1)
    {
        if (m_nLastPOV != -1)
            m_sigPOVUp(m_nLastPOV);
        m_sigPOVDown(nPOV);
    }
    else
    {
        m_sigPOVUp(m_nLastPOV);
    }
    m_bPOVHeld = false;
    m_nPOVHoldCount = 0;
    m_nLastPOV = nPOV;
}

void cUserControls::HandleButtons(uint32_t nButtons)
{
    if (!m_bBaseline)
    {
        // What is down at connection was pressed before we listened: no event,
        // and no hold until it is released and pressed again.
        m_nLastButtons = nButtons;
        m_bBaseline = true;
        return;
    }
    if (nButtons == m_nLastButtons)
        return;
    DbgLog(DBG_INF, "cUserControls::handleJoystickMessage", 330, DbgLogFormat("Button change to %#X", nButtons));
    const uint32_t nChanged = nButtons ^ m_nLastButtons;
    m_nLastButtons = nButtons;
    for (int i = 0; i < kButtons; ++i)
    {
        const uint32_t nBit = 1u << i;
        if (!(nChanged & nBit))
            continue;
        const size_t n = static_cast<size_t>(i);
        if (nButtons & nBit)
        {
            m_sigButtonDown(i);
            m_ButtonDown[n] = true;
        }
        else
        {
            m_sigButtonUp(i);
            m_ButtonDown[n] = false;
            m_ButtonHeld[n] = false;
            m_ButtonHoldCount[n] = 0;
        }
    }
}

void cUserControls::HandleHolds()
{
    for (int i = 0; i < kButtons; ++i)
    {
        const size_t n = static_cast<size_t>(i);
        if (!m_ButtonDown[n] || m_ButtonHeld[n])
            continue;
        if (++m_ButtonHoldCount[n] > kHoldCount)
        {
            m_sigButtonHeld(i);
            m_ButtonHeld[n] = true;
        }
    }
    if (m_nLastPOV != -1 && !m_bPOVHeld && ++m_nPOVHoldCount > kHoldCount)
    {
        m_sigPOVHeld(m_nLastPOV);
        m_bPOVHeld = true;
    }
}

cUserControls::LinkState cUserControls::GetLinkState() const
{
    if (!m_hController.load())
        return LinkState::kNotConnected;
    std::lock_guard<std::mutex> lock(m_SnapshotMutex);
    if (m_nRecords == 0)
        return LinkState::kWaiting;
    return m_LastState.bValid ? LinkState::kLive : LinkState::kNotAnswering;
}

bool cUserControls::LatestState(ControllerState& state, uint64_t* pnRecords) const
{
    std::lock_guard<std::mutex> lock(m_SnapshotMutex);
    if (pnRecords)
        *pnRecords = m_nRecords;
    if (m_nRecords == 0)
        return false;
    state = m_LastState;
    return true;
}
