#pragma once
#include "CommsSettings.h"
#include "SerialPortCfg.h"
#include "cCommsIO.h"
#include "cMultiCommsIF.h"

#include <cstdint>
#include <memory>
#include <string>

class cBufferLog;

// Base of the protocol objects: makes the transport the settings ask for,
// optionally logs every whole frame, and passes each received frame with a
// good checksum to handleMessage (on the receive thread).
class cRC_IO : public cCommsIO
{
public:
    explicit cRC_IO(const char* szName);
    ~cRC_IO() override;

    using cCommsIO::initialise;
    virtual bool initialise(const CommsSettings& settings, const char* szName);
    void close() override;
    bool sendMessage(const uint8_t* pData, int32_t nCount) override;
    void VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override;
    virtual void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t nTime) = 0;

    int32_t CommsMethod() const { return m_nCommsMethod; }

protected:
    // Transport made, descriptor loaded; false leaves no transport behind.
    bool CreateTransport(const CommsSettings& settings, int32_t nTargetPort, int32_t nHostPort);

    int32_t m_nUdpTargetPort = 9876;
    int32_t m_nUdpHostPort = 9879;
    std::string m_sIpAddress = "127.0.0.1";
    SerialPortCfg m_SerialCfg;
    cMultiCommsIF m_MultiCommsIF{"cMultiCommsIF"};
    int32_t m_nCommsMethod = CommsSettings::kUdp;
    std::unique_ptr<cBufferLog> m_pTrafficLog;
    bool m_bLogTx = false;
    bool m_bLogRx = false;
};
