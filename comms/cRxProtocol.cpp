#include "cRxProtocol.h"

#include "DbgLog.h"
#include "cCommsClock.h"
#include "cCommsIO.h"
#include "cCommsLogger.h"

#include <algorithm>
#include <cstring>

int32_t cRxProtocol::LoadMsgDescriptor(int32_t nMode, int32_t nLengthPos, int32_t nLengthAdjust, cCommsIO* pOwner)
{
    MsgDescriptor descriptor;
    descriptor.nSync = m_nDefaultSync;
    descriptor.nMode = nMode;
    descriptor.nLengthPos = nLengthPos;
    descriptor.nLengthAdjust = nLengthAdjust;
    if (pOwner)
        descriptor.fnHandler = [pOwner](const uint8_t* pFrame, int32_t nLength, int64_t nTime) {
            pOwner->VerifyChecksum(pFrame, nLength, nTime);
        };
    return LoadMsgDescriptor(descriptor);
}

int32_t cRxProtocol::LoadMsgDescriptor(const MsgDescriptor& descriptor)
{
    const int32_t nCount = m_nDescriptors.load(std::memory_order_relaxed);
    if (nCount >= kMaxDescriptors)
    {
        DbgLog(DBG_ERR, "cRxProtocol::LoadMsgDescriptor", 102, "Message table is full");
        return 3;
    }
    if (descriptor.nLengthAdjust >= 1024)
    {
        DbgLog(DBG_ERR, "cRxProtocol::LoadMsgDescriptor", 78, "Msg format is too long");
        return 1;
    }
    m_Descriptors[nCount] = descriptor;
    m_nDescriptors.store(nCount + 1, std::memory_order_release);
    return 0;
}

bool cRxProtocol::FindByFirst(uint8_t nFirst)
{
    const int32_t nCount = m_nDescriptors.load(std::memory_order_acquire);
    for (int32_t i = 0; i < nCount; ++i)
    {
        if (m_Descriptors[i].nSync == nFirst)
        {
            m_pCurrent = &m_Descriptors[i];
            return true;
        }
    }
    return false;
}

bool cRxProtocol::FindByFirstAndSecond(uint8_t nFirst, uint8_t nSecond)
{
    const int32_t nCount = m_nDescriptors.load(std::memory_order_acquire);
    for (int32_t i = 0; i < nCount; ++i)
    {
        const MsgDescriptor& descriptor = m_Descriptors[i];
        if (descriptor.nSync == nFirst && (!descriptor.bCheckSecondByte || descriptor.nSecondByte == nSecond))
        {
            m_pCurrent = &descriptor;
            return true;
        }
    }
    return false;
}

bool cRxProtocol::IsAnySync(uint8_t nByte) const
{
    const int32_t nCount = m_nDescriptors.load(std::memory_order_acquire);
    for (int32_t i = 0; i < nCount; ++i)
        if (m_Descriptors[i].nSync == nByte)
            return true;
    return false;
}

void cRxProtocol::StartFrame(uint8_t nByte, int32_t nNextState)
{
    m_Buffer[0] = nByte;
    m_nCollected = 1;
    const cCommsClock* pClock = m_pClock.load(std::memory_order_relaxed);
    if (pClock)
        m_nRxTime = pClock->Now();
    m_nState = nNextState;
}

void cRxProtocol::Log(const uint8_t* pData, int32_t nCount, const char* szLabel) const
{
    if (cCommsLogger* pLogger = m_pLogger.load(std::memory_order_relaxed))
        pLogger->LogData(pData, nCount, m_nRxTime, szLabel);
}

// The bytes collected so far are not a frame: logged and counted, then dropped
// by the caller.
void cRxProtocol::Skip()
{
    Log(m_Buffer.data(), m_nCollected, "Rx Skip");
    m_nFramesSkipped.fetch_add(1, std::memory_order_relaxed);
}

// Stores the byte that completes the length field. A length that does not even
// cover the bytes already collected plus a checksum cannot be a frame: it is
// dropped as a skip instead of being handed on shorter than what was read.
bool cRxProtocol::LengthComplete(uint8_t nByte, int32_t nLength)
{
    m_Buffer[m_nCollected++] = nByte;
    if (nLength >= kMaxFrame + 1 || nLength <= m_nCollected)
    {
        Skip();
        m_nCollected = 0;
        m_nState = kHunting;
        return true;
    }
    m_nExpected = nLength;
    m_nState = kBody;
    return true;
}

void cRxProtocol::Deliver(int32_t nLength, const char* szLabel)
{
    m_nState = kDelivered;
    ++m_nFramesFound;
    if (m_pCurrent->fnHandler)
    {
        Log(m_Buffer.data(), nLength, szLabel);
        m_pCurrent->fnHandler(m_Buffer.data(), nLength, m_nRxTime);
    }
    else
    {
        Log(m_Buffer.data(), nLength, "Rx Unknown");
    }
    m_nCollected = 0;
}

bool cRxProtocol::ProcessByte(uint8_t nByte)
{
    return Step(nByte);
}

bool cRxProtocol::Step(uint8_t nByte)
{
    if (m_nCollected >= kMaxFrame + 1)
    {
        m_nState = kHunting;
        m_nCollected = 0;
    }

    switch (m_nState)
    {
    case kSyncSeen:
    {
        if (!FindByFirstAndSecond(m_Buffer[0], nByte))
        {
            if (IsAnySync(nByte))
            {
                Skip();
                StartFrame(nByte, kSyncSeen);
                return true;
            }
            m_nState = kHunting;
            m_nCollected = 0;
            return false;
        }
        m_nExpected = 0;
        if (m_pCurrent->nMode == MsgDescriptor::kOneByteLength)
        {
            if (m_nCollected == m_pCurrent->nLengthPos)
                return LengthComplete(nByte, nByte + m_pCurrent->nLengthAdjust);
            m_nState = kLengthLow;
        }
        else if (m_pCurrent->nMode == MsgDescriptor::kTwoByteLength)
        {
            if (m_nCollected == m_pCurrent->nLengthPos - 1)
            {
                m_nExpected = nByte * 256;
                m_nState = kLengthLow;
            }
            else
            {
                m_nState = kLengthHigh;
            }
        }
        else
        {
            m_nExpected = m_pCurrent->nLengthAdjust;
            m_nState = kBody;
        }
        m_Buffer[m_nCollected++] = nByte;
        if (m_nState == kBody && m_nCollected >= m_nExpected)
        {
            // A fixed length no longer than two bytes is already complete.
            Deliver(m_nCollected, "Rx Msg");
        }
        return true;
    }
    case kLengthHigh:
        if (m_nCollected == m_pCurrent->nLengthPos - 1)
        {
            m_nExpected += nByte * 256;
            m_nState = kLengthLow;
        }
        m_Buffer[m_nCollected++] = nByte;
        return true;
    case kLengthLow:
        if (m_nCollected == m_pCurrent->nLengthPos)
            return LengthComplete(nByte, (nByte | m_nExpected) + m_pCurrent->nLengthAdjust);
        m_Buffer[m_nCollected++] = nByte;
        return true;
    case kBody:
        m_Buffer[m_nCollected++] = nByte;
        if (m_nCollected >= m_nExpected)
            Deliver(m_nExpected, "Rx Msg");
        return true;
    case kTerminated:
        m_Buffer[m_nCollected++] = nByte;
        if (nByte == m_pCurrent->nSecondByte)
            Deliver(m_nCollected, "Rx Msg");
        return true;
    default:
        break;
    }

    // Hunting (and after a delivered frame): this byte may start the next frame.
    m_nState = kHunting;
    m_nCollected = 0;
    if (m_nDescriptors.load(std::memory_order_acquire) > 0 && m_Descriptors[0].nMode == MsgDescriptor::kTerminated)
    {
        m_pCurrent = &m_Descriptors[0];
        StartFrame(nByte, kTerminated);
        return true;
    }
    if (!FindByFirst(nByte))
        return false;
    StartFrame(nByte, kSyncSeen);
    return true;
}

int32_t cRxProtocol::ProcessBlock(const uint8_t* pData, int32_t nCount, bool& bLastResult)
{
    int32_t nDiscarded = 0;
    int32_t i = 0;
    while (i < nCount)
    {
        // Inside a frame body every byte is kept: copy all but the last needed
        // byte at once and let Step complete the frame.
        if (m_nState == kBody && m_nCollected < m_nExpected)
        {
            const int32_t nRun = std::min(m_nExpected - m_nCollected - 1, nCount - i);
            if (nRun > 0)
            {
                std::memcpy(m_Buffer.data() + m_nCollected, pData + i, static_cast<size_t>(nRun));
                m_nCollected += nRun;
                i += nRun;
                bLastResult = true;
                continue;
            }
        }
        bLastResult = Step(pData[i]);
        if (!bLastResult)
            ++nDiscarded;
        ++i;
    }
    return nDiscarded;
}

int32_t cRxProtocol::Restart()
{
    const int32_t nAbandoned = m_nState == kHunting || m_nState == kDelivered ? 0 : m_nCollected;
    if (nAbandoned > 0)
        Log(m_Buffer.data(), nAbandoned, "Rx Skip");
    m_nState = kHunting;
    m_nCollected = 0;
    return nAbandoned;
}

void cRxProtocol::Flush()
{
    if (m_nCollected > 0 && m_pCurrent && m_pCurrent->bFlushAllowed && m_pCurrent->fnHandler)
    {
        m_nState = kDelivered;
        ++m_nFramesFound;
        m_pCurrent->fnHandler(m_Buffer.data(), m_nCollected, m_nRxTime);
        Log(m_Buffer.data(), m_nCollected, "Rx Flush");
        m_nCollected = 0;
    }
}
