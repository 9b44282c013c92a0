#include "cCommsIO.h"

#include "DbgLog.h"
#include "RC_Checksum.h"
#include "RC_FrameSync.h"
#include "cCommsIF.h"
#include "cEvent.h"

#include <new>

cCommsIO::cCommsIO(const char* szName) : XThread("cCommsIO"), m_szObjectName(szName ? szName : "")
{
    if (!m_TxBuffer.hasStorage())
        DbgLog(DBG_ERR, "cCommsIO::cCommsIO", 40, DbgLogFormat("(%s) m_TxBuffer.Create failed", m_szObjectName), CAT_COMMS);
    m_cLocalBuf.reset(new (std::nothrow) uint8_t[kMaxMessage]());
    if (!m_cLocalBuf)
        DbgLog(DBG_ERR, "cCommsIO::cCommsIO", 46, DbgLogFormat("(%s)m_cLocalBuf create failed", m_szObjectName), CAT_COMMS);
}

cCommsIO::~cCommsIO()
{
    cCommsIO::stopTx();
    if (m_pCommsIF)
        m_pCommsIF->Terminate();
    m_pTxEvent.reset();
    if (IsRunning())
        WaitTerminate(nullptr);
}

bool cCommsIO::initialise(int32_t nTxWaitMs)
{
    DbgLog(DBG_INF, "cCommsIO::initialise", 71, "", CAT_COMMS);
    if (!loadRxMsgDescriptors())
    {
        DbgLog(DBG_ERR, "cCommsIO::initialise", 76, DbgLogFormat("(%s) loadRxMsgDescriptors failed", m_szObjectName), CAT_COMMS);
        return false;
    }
    m_pTxEvent.reset(new (std::nothrow) cEvent());
    if (!m_pTxEvent)
    {
        DbgLog(DBG_ERR, "cCommsIO::initialise", 85, DbgLogFormat("(%s) CreateEvent failed", m_szObjectName), CAT_COMMS);
        return false;
    }
    m_nTxWaitMs = nTxWaitMs;
    return true;
}

void cCommsIO::close()
{
    stopTx();
    if (m_pCommsIF)
        m_pCommsIF->Terminate();
    m_pTxEvent.reset();
}

bool cCommsIO::startTx()
{
    if (IsRunning())
        return true;
    if (!Begin(true))
    {
        DbgLog(DBG_ERR, "cCommsIO::startTx", 118, DbgLogFormat("(%s) XThread::Begin failed", m_szObjectName), CAT_COMMS);
        return false;
    }
    return true;
}

void cCommsIO::stopTx()
{
    if (IsRunning())
        WaitTerminate(m_pTxEvent.get());
}

bool cCommsIO::sendMessage(const uint8_t* pData, int32_t nCount)
{
    return sendLabelled(pData, nCount, "");
}

bool cCommsIO::sendLabelled(const uint8_t* pData, int32_t nCount, const char* szLabel)
{
    if (!m_pCommsIF)
        return false;
    return m_pCommsIF->sendLabelled(pData, nCount, szLabel) == 0;
}

int cCommsIO::Execute(void*)
{
    const bool bSignalled = m_pTxEvent && m_pTxEvent->Wait(static_cast<uint32_t>(m_nTxWaitMs));
    if (m_bTerminate)
        return 1;
    if (!bSignalled)
    {
        OnTxIdle();
        return 0;
    }
    int nSent = 0;
    while (bufferedBytes() > 0 && sendNextMessage())
        ++nSent;
    if (nSent > 0)
        return 0;
    DbgLog(DBG_INF, "cCommsIO::Execute", 213, DbgLogFormat("(%s) no message available", m_szObjectName), CAT_COMMS);
    return 0;
}

int32_t cCommsIO::bufferedBytes()
{
    std::lock_guard<std::mutex> lock(m_BufferMutex);
    return m_TxBuffer.usedBytes();
}

bool cCommsIO::bufferMsgNoEvent(const uint8_t* pData, int32_t nCount)
{
    if (nCount > 255)
    {
        DbgLog(DBG_WRN, "cCommsIO::bufferMsgNoEvent", 326, DbgLogFormat("(%s) supplied message too long", m_szObjectName), CAT_COMMS);
        return false;
    }
    if (nCount < 0 || (nCount > 0 && !pData))
        return false;
    std::lock_guard<std::mutex> lock(m_BufferMutex);
    if (nCount + 1 < m_TxBuffer.freeBytes())
    {
        const uint8_t nLength = static_cast<uint8_t>(nCount);
        if (m_TxBuffer.write(&nLength, 1) && m_TxBuffer.write(pData, nCount))
            return true;
        DbgLog(DBG_INF, "cCommsIO::bufferMsgNoEvent", 343, DbgLogFormat("(%s) failed to write to TxBuffer", m_szObjectName), CAT_COMMS);
        return false;
    }
    DbgLog(DBG_WRN, "cCommsIO::bufferMsgNoEvent", 349, DbgLogFormat("(%s) buffer overflow", m_szObjectName), CAT_COMMS);
    return false;
}

bool cCommsIO::bufferMessage(const uint8_t* pData, int32_t nCount)
{
    if (bufferMsgNoEvent(pData, nCount))
    {
        if (m_pTxEvent)
            m_pTxEvent->Set();
        else
            DbgLog(DBG_WRN, "cCommsIO::bufferMessage", 310, "Failing to notify (m_pTxEvent is nullptr)", CAT_COMMS);
        return true;
    }
    std::lock_guard<std::mutex> lock(m_BufferMutex);
    m_TxBuffer.clear();
    return false;
}

int32_t cCommsIO::getNextMessage(uint8_t* pDestination, int32_t nSize)
{
    std::lock_guard<std::mutex> lock(m_BufferMutex);
    if (m_TxBuffer.usedBytes() == 0)
    {
        DbgLog(DBG_INF, "cCommsIO::getNextMessage", 228, DbgLogFormat("(%s) no data in TxBuffer", m_szObjectName), CAT_COMMS);
        return 0;
    }
    uint8_t nLength = 0;
    if (!m_TxBuffer.read(&nLength, 1))
    {
        DbgLog(DBG_INF, "cCommsIO::getNextMessage", 290, DbgLogFormat("(%s) failed to read from TxBuffer", m_szObjectName), CAT_COMMS);
        return 0;
    }
    if (nLength < nSize)
    {
        if (m_TxBuffer.usedBytes() < nLength)
        {
            m_TxBuffer.clear();
            DbgLog(DBG_INF, "cCommsIO::getNextMessage", 266, DbgLogFormat("(%s) data fragment in TxBuffer", m_szObjectName), CAT_COMMS);
            return 0;
        }
        if (!m_TxBuffer.read(pDestination, nLength))
        {
            m_TxBuffer.clear();
            DbgLog(DBG_INF, "cCommsIO::getNextMessage", 256, DbgLogFormat("(%s) failed to read from TxBuffer", m_szObjectName), CAT_COMMS);
            return 0;
        }
        return nLength;
    }
    m_TxBuffer.discard(nLength);
    DbgLog(DBG_INF, "cCommsIO::getNextMessage", 282,
           DbgLogFormat("(%s) message length greater than supplied buffer", m_szObjectName), CAT_COMMS);
    return 0;
}

bool cCommsIO::sendNextMessage()
{
    const int32_t nLength = m_cLocalBuf ? getNextMessage(m_cLocalBuf.get(), kMaxMessage) : 0;
    if (nLength > 0)
        return sendMessage(m_cLocalBuf.get(), nLength);
    DbgLog(DBG_INF, "cCommsIO::sendNextMessage", 377, DbgLogFormat("(%s) getNextMessage failed", m_szObjectName), CAT_GENERAL);
    return false;
}

void cCommsIO::setClock(cCommsClock* pClock)
{
    if (m_pCommsIF)
        m_pCommsIF->setClock(pClock);
}

cCommsClock* cCommsIO::getClock() const
{
    return m_pCommsIF ? m_pCommsIF->getClock() : nullptr;
}

void cCommsIO::logText(const char* szText)
{
    if (m_pCommsIF)
        m_pCommsIF->logText(szText);
}

void cCommsIO::setName(const char* szName)
{
    if (!szName)
        return;
    m_szObjectName = szName;
    if (m_pCommsIF)
        m_pCommsIF->setName(szName);
}

bool cCommsIO::setCommsIF(cCommsIF* pCommsIF)
{
    if (m_pCommsIF || !pCommsIF)
        return false;
    m_pCommsIF = pCommsIF;
    return true;
}

cCommsIF* cCommsIO::getCommsIF() const
{
    return m_pCommsIF;
}

void cCommsIO::clearCommsIF()
{
    m_pCommsIF = nullptr;
}

void cCommsIO::setTxWait(int32_t nTxWaitMs)
{
    m_nTxWaitMs = nTxWaitMs;
}

int32_t cCommsIO::getTxWait() const
{
    return m_nTxWaitMs;
}

int32_t cCommsIO::ValidateNxHeartbeat(const uint8_t* pFrame, int32_t nCount)
{
    if (!pFrame || nCount < 3)
        return 0;
    int32_t nRole = 0;
    const uint8_t* pStart = pFrame;
    if (RC_IsSync(pFrame[0]) && RC_Checksum(pFrame, nCount - 1) == pFrame[nCount - 1])
    {
        nRole = 2;
    }
    else if (nCount >= 4 && RC_IsSync(pFrame[1]) && RC_Checksum(pFrame + 1, nCount - 2) == pFrame[nCount - 1])
    {
        nRole = 1;
        pStart = pFrame + 1;
    }
    else
    {
        return 0;
    }
    if (nRole != m_nExpectedHbRole)
    {
        DbgLog(DBG_WRN, "cCommsIO::ValidateNxHeartbeat", 586,
               DbgLogFormat("Unexpected heartbeat received, expected : %d", m_nExpectedHbRole), CAT_COMMS);
        return 0;
    }
    // The frame seen from pStart must still hold its bytes 1 and 2.
    const int32_t nAvailable = nCount - static_cast<int32_t>(pStart - pFrame);
    if (nAvailable >= 3 && pStart[1] == 0 && pStart[2] == 1)
        return nRole;
    return 0;
}

void cCommsIO::OnHB_LinkState(bool bLinkActive, int32_t nConnection)
{
    DbgLog(DBG_INF, "cCommsIO::OnHB_LinkState", 545,
           DbgLogFormat("Heart beat for connection %d reports link is %s", nConnection, bLinkActive ? "active" : "inactive"),
           CAT_COMMS);
    OnLinkState(bLinkActive, nConnection);
}

void cCommsIO::OnLinkState(bool, int32_t)
{
}

bool cCommsIO::OnTxIdle()
{
    return true;
}
