#include "cConDirectX.h"

#include "DbgLog.h"
#include "XmlReader.h"

#include <cstdio>
#include <new>

namespace
{
double AxisValue(int32_t nReading)
{
    return static_cast<double>(static_cast<float>(nReading) / 1000.0f);
}
} // namespace

cConDirectX::cConDirectX() = default;

cConDirectX::~cConDirectX()
{
    // The polling thread reads the device: stop it before the device goes.
    stopPolling();
    m_pJoystick.reset();
}

int32_t cConDirectX::init(const char* szConfigPath, int32_t nDevice, NxValue hWnd)
{
    DbgLog(DBG_INF, "cConDirectX::init", 28, "");
    if (!szConfigPath || !*szConfigPath)
        return Nx_InvalidFile;
    if (!readConfigFile(szConfigPath, nDevice))
        return Nx_InvalidFile;
    uninit();
    m_pJoystick.reset(new (std::nothrow) DXInputJoystick(hWnd, nDevice));
    if (!m_pJoystick || !m_pJoystick->IsOpened())
    {
        DbgLog(DBG_ERR, "cConDirectX::init", 47, "Initialise failed to allocate m_pJoystick");
        return Nx_ERR;
    }
    return Nx_OK;
}

void cConDirectX::uninit()
{
    stopPolling();
    m_pJoystick.reset();
}

bool cConDirectX::readConfigFile(const char* szConfigPath, int32_t nDevice)
{
    char szSection[32];
    std::snprintf(szSection, sizeof(szSection), "ConDirectXCfg%d", nDevice);
    XmlReader reader(false, true, "VMS_Cfg");
    if (!reader.LoadConfigFile(szConfigPath, szSection))
    {
        DbgLog(DBG_WRN, "cConDirectX::readConfigFile", 80, DbgLogFormat("Failed to find %s in %s", szSection, szConfigPath));
        return true;
    }
    int nLevel = 0;
    if (reader.GetCfgInt("nLogLevelFilter", nLevel) && nLevel >= DBG_FAT && nLevel <= DBG_DBG)
    {
        DbgLogSetLevel(nLevel);
        DbgLog(DBG_INF, "cConDirectX::readConfigFile", 94, DbgLogFormat("DbgLogSetLevel(%d)", nLevel));
    }
    return true;
}

bool cConDirectX::isDeviceValid()
{
    return m_pJoystick && m_pJoystick->IsOpened();
}

bool cConDirectX::poll()
{
    return m_pJoystick && m_pJoystick->Update();
}

void cConDirectX::getState(ControllerState* pState)
{
    if (!pState || !m_pJoystick)
        return;
    const JoystickState& state = m_pJoystick->State();
    pState->dX = AxisValue(state.lX);
    pState->dY = AxisValue(state.lY);
    pState->dZ = AxisValue(state.lZ);
    pState->dRx = AxisValue(state.lRx);
    pState->dRy = AxisValue(state.lRy);
    pState->dRz = AxisValue(state.lRz);
    pState->dSlider0 = AxisValue(state.rglSlider[0]);
    pState->dSlider1 = AxisValue(state.rglSlider[1]);
    pState->nPOV = state.rgdwPOV[0] >= 0 ? state.rgdwPOV[0] / 100 : -1;
    uint32_t nButtons = 0;
    for (int i = 0; i < 32; ++i)
    {
        if (state.rgbButtons[i])
            nButtons |= 1u << i;
    }
    pState->nButtons = nButtons;
    pState->nAxisFlags = m_pJoystick->AxisFlags();
}
