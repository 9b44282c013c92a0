#include "cMultiCommsIF.h"

#include "DbgLog.h"
#include "cSerialIF.h"
#include "cUdpIF.h"

#include <new>

cMultiCommsIF::cMultiCommsIF(const char* szName) : m_szName(szName ? szName : "")
{
}

cMultiCommsIF::~cMultiCommsIF()
{
    Release();
}

bool cMultiCommsIF::InitUdp(int32_t nTargetPort, const std::string& sTargetAddress, int32_t nLocalPort,
                            const std::string& sLocalAddress, const std::string& sAllowedPeers)
{
    Release();
    std::unique_ptr<nx::http::cUdpIF> pUdpIF(new (std::nothrow) nx::http::cUdpIF(m_szName));
    if (!pUdpIF)
    {
        DbgLog(DBG_ERR, "cMultiCommsIF::InitUdp", 29, "Failed to create UDP interface");
        return false;
    }
    pUdpIF->SetAllowedPeers(sAllowedPeers);
    try
    {
        if (pUdpIF->initialise(nTargetPort, sTargetAddress, nLocalPort, sLocalAddress, true, false,
                               nx::http::cUdpIF::kLearnOnce))
        {
            m_pUdpIF = std::move(pUdpIF);
            m_pCurrent = m_pUdpIF.get();
            return true;
        }
        DbgLog(DBG_ERR, "cMultiCommsIF::InitUdp", 37, "UDP Initialise failed");
    }
    catch (const std::exception& e)
    {
        DbgLog(DBG_ERR, "cMultiCommsIF::InitUdp", 37, DbgLogFormat("UDP Initialise failed: %s", e.what()));
    }
    return false;
}

bool cMultiCommsIF::InitSerial(SerialPortCfg settings)
{
    Release();
    std::unique_ptr<cSerialIF> pSerialIF(new (std::nothrow) cSerialIF(m_szName));
    if (!pSerialIF)
    {
        DbgLog(DBG_ERR, "cMultiCommsIF::InitSerial", 73, "Failed to create serial interface");
        return false;
    }
    if (!pSerialIF->Initialise(settings, true, false))
    {
        DbgLog(DBG_ERR, "cMultiCommsIF::InitSerial", 81, "Serial Initialise failed");
        return false;
    }
    m_pSerialIF = std::move(pSerialIF);
    m_pCurrent = m_pSerialIF.get();
    return true;
}

void cMultiCommsIF::Release()
{
    if (m_pSerialIF)
    {
        m_pSerialIF->Terminate();
        m_pSerialIF.reset();
        m_pCurrent = nullptr;
    }
    if (m_pUdpIF)
    {
        static_cast<cCommsIF*>(m_pUdpIF.get())->Terminate();
        m_pUdpIF.reset();
        m_pCurrent = nullptr;
    }
}
