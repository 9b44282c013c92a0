#pragma once
#include "MsgDescriptor.h"
#include "cCommsIO.h"
#include "cRC_MismatchMonitor.h"
#include "cSimLinkImpairment.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class cSerialIF;
namespace nx::http
{
class cUdpIF;
}

// One link of the simulator (page protocol or EO stream) over UDP or a
// serial device, built on the project's own transports. Received frames are
// cut by one descriptor and handed on with the verdict of their checksum, on
// the transport's receive thread. Over UDP the destination is learnt from the
// first datagram received, as the console's own transport does.
class cSimTransport : public cCommsIO
{
public:
    // A link that only sends frames nothing it receives.
    static constexpr int32_t kSendOnly = -1;

    struct Framing
    {
        uint8_t nSync = 0;
        int32_t nMode = kSendOnly;  // else one of MsgDescriptor::Mode
        int32_t nLengthPos = 0;
        int32_t nAdjust = 0;
    };
    using FrameHandler = std::function<void(const uint8_t* pFrame, int32_t nLength, bool bChecksumGood)>;

    cSimTransport(const char* szName, const Framing& framing, FrameHandler fnHandler);
    ~cSimTransport() override;

    bool OpenUdp(const std::string& sLocalAddress, int32_t nLocalPort, const std::string& sTargetAddress,
                 int32_t nTargetPort);
    bool OpenSerial(const std::string& sDevice, int32_t nBaudRate);
    void close() override;

    bool Send(const std::vector<uint8_t>& frame);
    uint16_t LocalPort() const;
    uint32_t FramesSent() const { return m_nFramesSent; }
    // The link's running counts for a cRC_MismatchMonitor, with the first bytes
    // of the latest datagram of each kind that held no frame, and where refused
    // sends went. Between opening and closing, from any thread.
    cRC_MismatchMonitor::Counts LinkCounts(std::array<uint64_t, RC_kDatagramKinds>& samples) const;
    std::string RefusedDestination() const;
    // A bad network from the next OpenUdp on (a serial link is never
    // impaired): tx spoils what Send sends, rx what arrives, before it is
    // handled. nLink gives each link its own decisions from the one seed.
    void Impair(const cSimImpairment::Settings& tx, const cSimImpairment::Settings& rx, uint64_t nSeed,
                uint32_t nLink);

    bool loadRxMsgDescriptors() override;
    void VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override;

private:
    bool Bind(cCommsIF* pCommsIF);

    const Framing m_Framing;
    const FrameHandler m_fnHandler;
    std::unique_ptr<nx::http::cUdpIF> m_pUdpIF;
    std::unique_ptr<cSerialIF> m_pSerialIF;
    std::atomic<uint32_t> m_nFramesSent{0};
    std::atomic<uint32_t> m_nGoodFrames{0};  // receive thread counts
    std::unique_ptr<cSimLinkImpairment> m_pImpaired;
};
