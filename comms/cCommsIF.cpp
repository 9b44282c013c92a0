#include "cCommsIF.h"

#include "DbgLog.h"
#include "cCommsClock.h"
#include "cCommsLogger.h"
#include "cRxProtocol.h"

#include <cstdio>
#include <new>

cCommsIF::cCommsIF(const char* szName) : m_szName(szName ? szName : "")
{
}

cCommsIF::~cCommsIF()
{
    cCommsIF::Terminate();
    m_sigRawRx.disconnect_all_slots();
    m_sigStatus.disconnect_all_slots();
}

void cCommsIF::enableLogging(bool bEnable)
{
    if (bEnable)
        configureLogging(true, true, "");
}

void cCommsIF::configureLogging(bool bLogRx, bool bLogTx, const char* szLogName)
{
    if (!bLogRx && !bLogTx)
        return;
    m_bLogRx = bLogRx;
    m_bLogTx = bLogTx;
    std::lock_guard<std::mutex> lock(m_LoggerMutex);
    if (m_pLogger)
        return;
    char szFile[512];
    std::snprintf(szFile, sizeof(szFile), "%s_CommsLog.DEBUG.txt", (szLogName && *szLogName) ? szLogName : m_szName);
    m_pLogger = std::make_shared<cCommsLogger>(szFile);
    m_pLogger->SetClock(m_pClock.load());
    m_pLogger->LogStart();
    if (m_pProtocol)
        m_pProtocol->SetLogger(m_pLogger.get());
}

void cCommsIF::Terminate()
{
    if (m_bProtocolOwned)
        delete m_pProtocol;
    m_pProtocol = nullptr;
    m_bProtocolOwned = false;

    std::lock_guard<std::mutex> lock(m_LoggerMutex);
    if (m_pLogger)
    {
        m_pLogger->LogStop();
        m_pLogger.reset();
    }
}

int cCommsIF::sendLabelled(const uint8_t* pData, int32_t nCount, const char* szLabel)
{
    std::lock_guard<std::mutex> lock(m_SendMutex);
    m_sSendLabel = szLabel ? szLabel : "";
    return messageSend(pData, nCount);
}

void cCommsIF::setClock(cCommsClock* pClock)
{
    m_pClock = pClock;
    if (m_pProtocol)
        m_pProtocol->SetClock(pClock);
    std::lock_guard<std::mutex> lock(m_LoggerMutex);
    if (m_pLogger)
        m_pLogger->SetClock(pClock);
}

cCommsClock* cCommsIF::getClock() const
{
    return m_pClock.load();
}

bool cCommsIF::getTime(int64_t& nTime) const
{
    const cCommsClock* pClock = m_pClock.load();
    if (!pClock)
    {
        nTime = 0;
        return false;
    }
    nTime = pClock->Now();
    return true;
}

bool cCommsIF::loadProtocol(cRxProtocol* pProtocol)
{
    if (m_pProtocol)
    {
        if (m_bProtocolOwned && !pProtocol)
            return true;
        if (m_bProtocolOwned)
            delete m_pProtocol;
        m_pProtocol = nullptr;
        m_bProtocolOwned = false;
    }
    if (pProtocol)
    {
        m_pProtocol = pProtocol;
    }
    else
    {
        m_pProtocol = new (std::nothrow) cRxProtocol();
        if (!m_pProtocol)
            return false;
        m_bProtocolOwned = true;
    }
    m_pProtocol->SetClock(m_pClock.load());
    std::lock_guard<std::mutex> lock(m_LoggerMutex);
    m_pProtocol->SetLogger(m_pLogger.get());
    return true;
}

bool cCommsIF::prepareRx(const char* szFunction, int32_t nLine, bool bStartLog)
{
    if (!loadProtocol(nullptr))
    {
        DbgLog(DBG_WRN, szFunction, nLine, DbgLogFormat("(%s) failed to loadProtocol()", Name()), CAT_COMMS);
        return false;
    }
    if (bStartLog)
        configureLogging(true, true, "");
    return true;
}

cRxProtocol* cCommsIF::getProtocol() const
{
    return m_pProtocol;
}

void cCommsIF::setName(const char* szName)
{
    if (szName)
        m_szName = szName;
}

void cCommsIF::logText(const char* szText)
{
    if (std::shared_ptr<cCommsLogger> pLogger = getLogger())
        pLogger->LogComment(szText);
}

std::shared_ptr<cCommsLogger> cCommsIF::getLogger() const
{
    std::lock_guard<std::mutex> lock(m_LoggerMutex);
    return m_pLogger;
}

int cCommsIF::processRxData(const uint8_t* pData, int32_t nCount, cRxProtocol* pProtocol)
{
    if (!m_sigRawRx.empty())
    {
        int64_t nTime = 0;
        getTime(nTime);
        m_sigRawRx(pData, static_cast<unsigned int>(nCount), nTime);
        return 0;
    }
    cRxProtocol* pFramer = pProtocol ? pProtocol : m_pProtocol;
    if (!pFramer)
        return 0;
    if (nCount <= 0)
    {
        pFramer->Flush();
        return 0;
    }
    // Counted before the framer hands on any frame: whoever has seen a frame
    // finds its bytes counted.
    m_nBytesReceived.fetch_add(nCount, std::memory_order_relaxed);
    bool bLast = false;
    const int32_t nDiscarded = pFramer->ProcessBlock(pData, nCount, bLast);
    if (nDiscarded > 0)
        m_nBytesDiscarded.fetch_add(nDiscarded, std::memory_order_relaxed);
    return bLast ? 1 : 0;
}

int cCommsIF::processRxDataDefault(const uint8_t* pData, int32_t nCount)
{
    return processRxData(pData, nCount, nullptr);
}

int cCommsIF::processRxDatagram(const uint8_t* pData, int32_t nCount)
{
    cRxProtocol* pFramer = m_sigRawRx.empty() ? m_pProtocol : nullptr;
    if (!pFramer)
        return processRxData(pData, nCount, nullptr);
    const int32_t nAbandoned = pFramer->Restart();
    if (nAbandoned > 0)
        m_nBytesDiscarded.fetch_add(nAbandoned, std::memory_order_relaxed);
    const uint32_t nFoundBefore = pFramer->FramesFound();
    const int nResult = processRxData(pData, nCount, nullptr);
    if (nCount > 0 && pFramer->FramesFound() == nFoundBefore)
        NoteUnframed(pData, nCount);
    return nResult;
}

// Counts only: whoever reads them decides whether they mean anything, so a
// flood of them costs two atomic writes each and no log line.
void cCommsIF::NoteUnframed(const uint8_t* pData, int32_t nCount)
{
    const size_t nKind = static_cast<size_t>(RC_ClassifyDatagram(pData, nCount));
    uint64_t nSample = 0;
    for (int32_t i = 0; i < nCount && i < 8; ++i)
        nSample |= static_cast<uint64_t>(pData[i]) << (8 * i);
    m_nUnframedSample[nKind].store(nSample, std::memory_order_relaxed);
    m_nUnframed[nKind].fetch_add(1, std::memory_order_relaxed);
}

void cCommsIF::logTx(const uint8_t* pData, int32_t nCount, std::shared_ptr<cCommsLogger> pLogger)
{
    if (!m_bLogTx)
        return;
    if (!pLogger)
        pLogger = getLogger();
    if (pLogger)
    {
        int64_t nTime = 0;
        getTime(nTime);
        const std::string sComment = "Tx," + m_sSendLabel;
        pLogger->LogData(pData, nCount, nTime, sComment.c_str());
    }
    m_nBytesSent.fetch_add(nCount, std::memory_order_relaxed);
}
