#pragma once
#include "cPluginSource.h"

// A GPIO and watchdog board reached through its plug-in. Older in style than
// the other families: Destroy both ends the instance and unloads the plug-in,
// and a plug-in's own error codes come back as Nx_ERR (5 from a pin operation
// as Nx_INVALIDPARAM); only init codes are passed back unchanged.
class IO_LibEx : public cPluginSource
{
public:
    static constexpr int32_t kObjType = 7;

    IO_LibEx();
    ~IO_LibEx() override;

    bool IsValid() const override { return m_nObjType == kObjType; }

    NxResult LoadIO_Lib(const char* lpszPath) { return Load(lpszPath); }
    NxResult Init(NxValue nValue1, NxValue nValue2);
    void Destroy();

    NxResult SetGPIO_PinAsOutput(NxValue nValue1, NxValue nValue2);
    NxResult GetGPIO_PinAsOutput(NxValue nValue1, NxValue nValue2);
    NxResult SetGPIO_Pin(NxValue nValue1, NxValue nValue2);
    NxResult ReadGPIO_Pin(NxValue nValue1, NxValue nValue2);
    NxResult ReadGPIO(NxValue nValue);
    NxResult ReadGPIO_Outputs(NxValue nValue);
    NxResult SetCallback(NxValue nValue1, NxValue nValue2);
    NxResult SetCurrentSensorCallback(NxValue nValue1, NxValue nValue2);
    NxResult StartWatchdog(NxValue nValue);
    NxResult StopWatchdog();
    NxResult ResetWatchdog();

    struct cOperation;  // one forwarding operation's slot and texts

protected:
    void ReleaseSource() override { Destroy(); }

private:
    template <typename Pfn, typename... Args>
    NxResult Forward(const cOperation& op, Args... args);
};
