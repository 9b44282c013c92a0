#include "cDeviceIFEx.h"

cDeviceIFEx::cDeviceIFEx(int32_t nObjType, const cDeviceSpec& spec)
    : cPluginIFEx(nObjType, spec.family), m_DeviceSpec(spec)
{
}

NxResult cDeviceIFEx::InitDevice(int32_t nDevice, NxValue nValue)
{
    return RunInit<PFN_Dev_LibInit>(nDevice, nDevice, nValue);
}

NxResult cDeviceIFEx::SetCallback(NxDeviceCallback pfnCallback, void* pUserData)
{
    return Forward<PFN_Dev_SetCallback>(m_DeviceSpec.setCallback, pfnCallback, pUserData);
}

NxResult cDeviceIFEx::StopCallback(NxDeviceCallback pfnCallback)
{
    return Forward<PFN_Dev_StopCallback>(m_DeviceSpec.stopCallback, pfnCallback);
}

NxResult cDeviceIFEx::GetStatus(NxValue nValue)
{
    if (!m_DeviceSpec.pGetStatus)
        return Nx_INCOMPATIBLE;
    return ForwardStatus<PFN_Dev_Call1>(*m_DeviceSpec.pGetStatus, nValue);
}
