#pragma once
#include "SerialPortCfg.h"

#include <cstdint>
#include <memory>
#include <string>

class cCommsIF;
class cSerialIF;
namespace nx::http
{
class cUdpIF;
}

// Creates and owns the one transport a protocol object uses: UDP or serial
// (one at a time, whatever "Multi" suggests).
// Never lets an exception out: an unparsable address fails InitUdp.
class cMultiCommsIF
{
public:
    explicit cMultiCommsIF(const char* szName);
    ~cMultiCommsIF();
    cMultiCommsIF(const cMultiCommsIF&) = delete;
    cMultiCommsIF& operator=(const cMultiCommsIF&) = delete;

    // sAllowedPeers: which senders the transport takes (see cPeerFilter).
    bool InitUdp(int32_t nTargetPort, const std::string& sTargetAddress, int32_t nLocalPort, const std::string& sLocalAddress,
                 const std::string& sAllowedPeers = "any");
    bool InitSerial(SerialPortCfg settings);
    void Release();
    cCommsIF* GetCurrent() const { return m_pCurrent; }

private:
    const char* m_szName;
    cCommsIF* m_pCurrent = nullptr;
    std::unique_ptr<nx::http::cUdpIF> m_pUdpIF;
    std::unique_ptr<cSerialIF> m_pSerialIF;
};
