#pragma once
#include "XThread.h"

#include <cstdint>
#include <memory>

class cEvent;

// Calls a plain function about every m_nWaitMs milliseconds until the function
// returns false or stop() sets the close event.
class cCallbackThread : public XThread
{
public:
    using Callback = bool (*)(void* pParam);

    explicit cCallbackThread(const char* szName = "cCallbackThread");
    ~cCallbackThread() override;

    bool start(Callback fnCallback, void* pParam, uint32_t nWaitMs);
    void stop();

protected:
    int Execute(void* pParam) override;

    Callback fnCallback = nullptr;
    std::unique_ptr<cEvent> m_pCloseEvent;
    uint32_t m_nWaitMs = 1000;
};
