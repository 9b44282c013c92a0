#include "cControlIF.h"

#include "DbgLog.h"

cControlIF::cControlIF() : XThread("cControlIF")
{
}

cControlIF::~cControlIF()
{
    cControlIF::stopPolling();
}

int32_t cControlIF::PeriodFromRate(float fCallsPerSecond)
{
    const float fPeriod = 1000.0f / fCallsPerSecond;
    if (fPeriod >= 1000.0f)  // also a rate of 0
        return 1000;
    if (!(fPeriod > 10.0f))  // also a negative rate or NaN
        return 10;
    return static_cast<int32_t>(fPeriod);
}

int32_t cControlIF::setCallback(NxControllerCallback pfnCallback, void* pUserData)
{
    return setCallbackRate(pfnCallback, pUserData, 10.0f) ? 0 : 1;
}

bool cControlIF::setCallbackRate(NxControllerCallback pfnCallback, void* pUserData, float fCallsPerSecond)
{
    if (!isDeviceValid())
        return false;
    {
        std::lock_guard<std::mutex> lock(m_CallbackMutex);
        m_pfnCallback = pfnCallback;
        m_pUserData = pUserData;
    }
    m_bDataValid = true;
    m_nPeriodMs = PeriodFromRate(fCallsPerSecond);
    if (!IsRunning())
        m_StopEvent.Reset();  // a stop that came after the last cycle must not cut the first pause
    return Begin(true);
}

void cControlIF::stopPolling()
{
    if (IsRunning())
        WaitTerminate(&m_StopEvent);
}

int cControlIF::Execute(void*)
{
    const int32_t nPeriodMs = m_nPeriodMs;
    if (nPeriodMs > 0 && m_StopEvent.Wait(static_cast<uint32_t>(nPeriodMs)))
        return 0;  // asked to stop: no further cycle

    m_bDataValid = poll();

    NxControllerCallback pfnCallback;
    void* pUserData;
    {
        std::lock_guard<std::mutex> lock(m_CallbackMutex);
        pfnCallback = m_pfnCallback;
        pUserData = m_pUserData;
    }
    if (!pfnCallback)
        return 0;

    ControllerState state{};
    state.dX = state.dY = state.dZ = state.dRx = state.dRy = state.dRz = -1.0;
    state.dSlider0 = state.dSlider1 = -1.0;
    state.nPOV = -1;
    getState(&state);
    state.bValid = m_bDataValid ? 1 : 0;
    try
    {
        pfnCallback(pUserData, &state);
    }
    catch (...)
    {
        // The client's fault must not end the polling thread (or the process).
        if (!m_bCallbackThrew.exchange(true))
            DbgLog(DBG_ERR, "cControlIF::Execute", __LINE__, DbgLogFormat("(%s) callback raised an exception", ThreadName()));
    }
    return 0;
}
