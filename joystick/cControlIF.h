#pragma once
#include "Portelle.h"
#include "XThread.h"
#include "cEvent.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// A controller instance that polls its device on its own thread and hands the
// whole state to the client's callback on every cycle, changed or not. The
// callback runs on the polling thread and delays the next cycle until it
// returns.
class cControlIF : public XThread
{
public:
    static constexpr int32_t kInitialPeriodMs = 40;

    cControlIF();
    ~cControlIF() override;

    virtual int32_t init(const char* szConfigPath, int32_t nDevice, NxValue hWnd) = 0;
    virtual void uninit() = 0;
    // 0 when polling started, 1 otherwise (no device, or already polling: the
    // new callback is used from the next cycle all the same).
    virtual int32_t setCallback(NxControllerCallback pfnCallback, void* pUserData);
    virtual bool setCallbackRate(NxControllerCallback pfnCallback, void* pUserData, float fCallsPerSecond);
    virtual void stopPolling();
    virtual bool readConfigFile(const char* szConfigPath, int32_t nDevice) = 0;
    virtual bool isDeviceValid() = 0;
    virtual bool poll() = 0;
    virtual void getState(ControllerState* pState) = 0;

    int32_t PeriodMs() const { return m_nPeriodMs.load(); }
    // 1000 / rate, kept within 10..1000 ms.
    static int32_t PeriodFromRate(float fCallsPerSecond);

protected:
    int Execute(void* pParam) override;

private:
    std::mutex m_CallbackMutex;                    // guards the pair below
    NxControllerCallback m_pfnCallback = nullptr;  // written by the client's thread
    void* m_pUserData = nullptr;
    std::atomic<bool> m_bDataValid{false};  // written by both threads
    std::atomic<int32_t> m_nPeriodMs{kInitialPeriodMs};
    std::atomic<bool> m_bCallbackThrew{false};
    cEvent m_StopEvent;  // cuts the pause short when polling stops
};
