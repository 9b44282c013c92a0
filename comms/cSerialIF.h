#pragma once
#include "SerialPortCfg.h"
#include "cCommsIF.h"
#include "cServiceThread.h"

#include <array>
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/serial_port.hpp>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// The serial transport: asynchronous reads on a service thread of its own (one
// byte at a time, or up to 256), synchronous writes, purges and RTS modes.
// Receive errors end reception and are reported through the status signal.
// Terminate joins the service thread before the port closes, so nothing of
// the port runs afterwards.
class cSerialIF : public cCommsIF
{
public:
    static constexpr size_t kReceiveBufferSize = 256;

    explicit cSerialIF(const char* szName);
    ~cSerialIF() override;

    virtual bool Initialise(const SerialPortCfg& settings, bool bStartRx, bool bStartLog);
    virtual bool Initialise(const std::string& sPath, int32_t nBaudRate, bool bStartRx, int32_t nParity,
                            int32_t nCharSize, int32_t nStopBits, int32_t nReadTimeout, int32_t nRtsControl,
                            bool bStartLog);
    // The last message written (up to 255 bytes) and its length, 0 if it was longer.
    virtual int32_t lastSent(uint8_t* pBuffer, int32_t nSize) const;

    void Terminate() override;
    bool startRx() override;
    bool stopRx() override;
    int messageSend(const uint8_t* pData, int32_t nCount) override;
    bool isOpen() override;
    bool purgeRx() override;
    bool purgeTx() override;
    bool purgeRxTx() override;

    uint32_t SentCount() const { return m_nSentCount.load(); }
    uint32_t ChunkSize() const { return m_nChunkSize; }
    bool ReceivedAnything() const { return m_bReceivedAnything.load(); }
    bool ServiceRunning() const { return m_bServiceRunning.load(); }

private:
    bool setupSerialPort(const std::string& sPath, int32_t nBaudRate, int32_t nParity, int32_t nCharSize,
                         int32_t nStopBits, int32_t nReadTimeout, int32_t nRtsControl);
    void SetReadBehaviour(int nHandle, int32_t nReadTimeout);
    void SetRtsControl(int nHandle, int32_t nRtsControl);
    bool Purge(int nQueue);
    void start_receive();
    void handle_receive(const boost::system::error_code& ec, size_t nBytes);
    void ReportStatus(int nCode, const char* szText);

    std::shared_ptr<boost::asio::serial_port> m_pPort;
    std::shared_ptr<boost::asio::io_context> m_pService;
    std::unique_ptr<cServiceThread> m_pServiceThread;  // runs m_pService from startRx to Terminate
    std::mutex m_ReceiveMutex;  // receive completions against Terminate
    std::atomic<bool> m_bInitialised{false};
    bool m_bStopping = false;   // under m_ReceiveMutex
    std::array<uint8_t, kReceiveBufferSize> m_RxBuffer{};
    uint32_t m_nChunkSize = 1;
    std::atomic<uint32_t> m_nSentCount{0};
    mutable std::mutex m_LastSentMutex;
    std::array<uint8_t, 255> m_LastSent{};
    int32_t m_nLastSentLength = 0;
    std::atomic<bool> m_bServiceRunning{false};  // written by the service thread
    std::atomic<bool> m_bReceivedAnything{false};
    std::mutex m_StartMutex;
    bool m_bStarted = false;
    std::string m_sPath;
};
