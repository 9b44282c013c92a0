#pragma once
#include "XThread.h"
#include "cRingBuffer.h"

#include <cstdint>
#include <memory>
#include <mutex>

class cCommsClock;
class cCommsIF;
class cEvent;

// Base of every protocol object: holds one transport, sends frames through it
// and loads the protocol's frame descriptor into the transport's framer. It
// also has a buffered transmit path (ring + transmit thread) that the console
// does not start; frames normally go out directly through sendMessage.
class cCommsIO : public XThread
{
public:
    static constexpr int32_t kRingCapacity = 1280;  // five 256-byte records
    static constexpr int32_t kMaxMessage = 256;

    explicit cCommsIO(const char* szName);
    ~cCommsIO() override;

    virtual bool initialise(int32_t nTxWaitMs);
    virtual void close();
    virtual bool startTx();
    virtual void stopTx();
    virtual bool sendMessage(const uint8_t* pData, int32_t nCount);
    virtual bool sendLabelled(const uint8_t* pData, int32_t nCount, const char* szLabel);
    virtual bool bufferMessage(const uint8_t* pData, int32_t nCount);
    virtual bool bufferMsgNoEvent(const uint8_t* pData, int32_t nCount);
    // The receive entry: one whole frame from the framer, on the receive thread.
    virtual void VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime) = 0;
    virtual void setClock(cCommsClock* pClock);
    virtual cCommsClock* getClock() const;
    virtual void logText(const char* szText);
    virtual void setName(const char* szName);
    virtual bool setCommsIF(cCommsIF* pCommsIF);
    virtual cCommsIF* getCommsIF() const;
    virtual void clearCommsIF();
    virtual void setTxWait(int32_t nTxWaitMs);
    virtual int32_t getTxWait() const;
    // 0 invalid, 1 client form (frame starts at the second byte), 2 server form.
    virtual int32_t ValidateNxHeartbeat(const uint8_t* pFrame, int32_t nCount);
    virtual void OnHB_LinkState(bool bLinkActive, int32_t nConnection);
    virtual void OnLinkState(bool bLinkActive, int32_t nConnection);
    virtual bool OnTxIdle();
    virtual bool sendNextMessage();
    virtual bool loadRxMsgDescriptors() = 0;

    int32_t getNextMessage(uint8_t* pDestination, int32_t nSize);
    int32_t bufferedBytes();
    void setExpectedHeartbeatRole(int32_t nRole) { m_nExpectedHbRole = nRole; }
    const char* ObjectName() const { return m_szObjectName; }

protected:
    int Execute(void* pParam) override;

    cCommsIF* m_pCommsIF = nullptr;
    int32_t m_nTxWaitMs = 1000;
    std::unique_ptr<cEvent> m_pTxEvent;
    cRingBuffer m_TxBuffer{kRingCapacity};
    std::mutex m_BufferMutex;  // guards m_TxBuffer
    int32_t m_nMaxMsgSize = kMaxMessage;
    std::unique_ptr<uint8_t[]> m_cLocalBuf;
    const char* m_szObjectName;
    int32_t m_nExpectedHbRole = 0;
};
