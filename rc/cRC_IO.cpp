#include "cRC_IO.h"

#include "DbgLog.h"
#include "RC_Checksum.h"
#include "cBufferLog.h"
#include "cCommsIF.h"

cRC_IO::cRC_IO(const char* szName) : cCommsIO(szName)
{
}

cRC_IO::~cRC_IO()
{
    cRC_IO::close();
}

bool cRC_IO::initialise(const CommsSettings& settings, const char* szName)
{
    if (m_MultiCommsIF.GetCurrent())
    {
        DbgLog(DBG_WRN, "cRC_IO::initialise", 47, "Comms interface already created");
        return true;
    }
    if (!CreateTransport(settings, settings.nTxPort, settings.nRxPort))
        return false;
    m_bLogRx = settings.bLogRx;
    m_bLogTx = settings.bLogTx;
    if ((m_bLogRx || m_bLogTx) && !m_pTrafficLog)
    {
        m_pTrafficLog = std::make_unique<cBufferLog>(std::string(szName ? szName : "") + ".txt");
        m_pTrafficLog->LogStart();
    }
    if (cCommsIO::initialise(1000))
        return true;
    m_MultiCommsIF.Release();
    clearCommsIF();
    DbgLog(DBG_ERR, "cRC_IO::initialise", 106, "cCommsIO::initialise() failed");
    return false;
}

bool cRC_IO::CreateTransport(const CommsSettings& settings, int32_t nTargetPort, int32_t nHostPort)
{
    m_SerialCfg.nPortEnabled = settings.bEnablePort ? 1 : 0;
    m_SerialCfg.nPortNumber = settings.nComPort;
    m_SerialCfg.nBaudRate = settings.nBaudRate;
    m_SerialCfg.nParity = settings.nParity;
    m_SerialCfg.sDevice = settings.sSerialDevice;
    m_nUdpTargetPort = nTargetPort;
    m_nUdpHostPort = nHostPort;
    m_sIpAddress = settings.sIpAddress;
    m_nCommsMethod = settings.nCommsMethod;

    bool bCreated = false;
    if (m_nCommsMethod == CommsSettings::kUdp)
    {
        bCreated = m_MultiCommsIF.InitUdp(m_nUdpTargetPort, m_sIpAddress, m_nUdpHostPort, "0.0.0.0");
    }
    else if (m_nCommsMethod == CommsSettings::kSerial)
    {
        bCreated = m_MultiCommsIF.InitSerial(m_SerialCfg);
    }
    else
    {
        DbgLog(DBG_ERR, "cRC_IO::initialise", 73, DbgLogFormat("Unknown Comms Method (%d) requested", m_nCommsMethod));
        return false;
    }
    if (!bCreated)
        return false;
    if (!setCommsIF(m_MultiCommsIF.GetCurrent()))
    {
        m_MultiCommsIF.Release();
        DbgLog(DBG_ERR, "cRC_IO::initialise", 80, "setCommsIF failed");
        return false;
    }
    return true;
}

void cRC_IO::close()
{
    cCommsIO::close();
    m_MultiCommsIF.Release();
    clearCommsIF();
    if (m_pTrafficLog)
    {
        m_pTrafficLog->LogStop();
        m_pTrafficLog.reset();
    }
}

bool cRC_IO::sendMessage(const uint8_t* pData, int32_t nCount)
{
    if (m_pTrafficLog && m_bLogTx)
        m_pTrafficLog->LogData(pData, nCount, "Tx Msg");
    return cCommsIO::sendMessage(pData, nCount);
}

void cRC_IO::VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime)
{
    if (m_pTrafficLog && m_bLogRx)
        m_pTrafficLog->LogData(pFrame, nLength, "Rx Msg");
    if (!pFrame || nLength < 1)
        return;
    const uint8_t nComputed = RC_Checksum(pFrame, static_cast<size_t>(nLength - 1));
    const uint8_t nReceived = pFrame[nLength - 1];
    if (nComputed != nReceived)
    {
        DbgLog(DBG_WRN, "cRC_IO::VerifyChecksum", 409,
               DbgLogFormat("Checksum failed.  Expected 0x%02X, received 0x%02X", nComputed, nReceived));
        return;
    }
    handleMessage(pFrame, nLength, nTime);
}
