#include "LogCapture.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "cEvent.h"
#include "cRC_IO.h"
#include "cRxProtocol.h"
#include "cUdpIF.h"

#include <boost/asio/ip/udp.hpp>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using udp = boost::asio::ip::udp;

namespace
{
using Bytes = std::vector<uint8_t>;

// The smallest protocol object: short frames, every good frame kept.
class ShortFrameProtocol : public cRC_IO
{
public:
    ShortFrameProtocol() : cRC_IO("TestProtocol") {}
    ~ShortFrameProtocol() override { close(); }

    bool loadRxMsgDescriptors() override
    {
        if (!getCommsIF()->loadProtocol(nullptr))
            return false;
        getCommsIF()->getProtocol()->m_nDefaultSync = 0x10;
        return getCommsIF()->getProtocol()->LoadMsgDescriptor(MsgDescriptor::kOneByteLength, 3, 5, this) == 0;
    }
    void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t) override
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Frames.emplace_back(pFrame, pFrame + nLength);
        }
        m_Handled.Set();
    }
    std::vector<Bytes> Frames()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Frames;
    }

    cEvent m_Handled;

private:
    std::mutex m_Mutex;
    std::vector<Bytes> m_Frames;
};

CommsSettings UdpSettings(uint16_t nTargetPort)
{
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = nTargetPort;
    settings.nRxPort = 0;
    settings.sIpAddress = "127.0.0.1";
    return settings;
}

const Bytes kGood = {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x45};
const Bytes kBadChecksum = {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x46};
} // namespace

// Over a real socket: frames go out as given; received frames with a good
// checksum reach handleMessage, a bad checksum is dropped with its warning,
// and both directions appear in the protocol message log.
TEST(ProtocolBase, SendsFramesAndPassesOnlyGoodChecksums)
{
    LogCapture log;
    TempDir dir;
    ScopedChdir cwd(dir.Path());
    UdpPeer peer;
    ShortFrameProtocol protocol;
    CommsSettings settings = UdpSettings(peer.Port());
    settings.bLogRx = true;
    settings.bLogTx = true;
    ASSERT_TRUE(protocol.initialise(settings, "Kestrum"));

    const Bytes query = {0x10, 0x05, 0x00, 0x01, 0x85, 0x9B};
    ASSERT_TRUE(protocol.sendMessage(query.data(), 6));
    EXPECT_EQ(peer.Receive(), query);

    std::chrono::steady_clock::time_point lastFrame;
    EXPECT_FALSE(protocol.LastFrameTime(lastFrame));
    const auto beforeFrames = std::chrono::steady_clock::now();
    const uint16_t nConsolePort = static_cast<nx::http::cUdpIF*>(protocol.getCommsIF())->LocalPort();
    peer.SendTo(nConsolePort, kBadChecksum);
    peer.SendTo(nConsolePort, kGood);
    ASSERT_TRUE(protocol.m_Handled.Wait(10000u));
    EXPECT_EQ(protocol.Frames(), std::vector<Bytes>{kGood});
    EXPECT_TRUE(log.Contains("cRC_IO::VerifyChecksum (409): Checksum failed.  Expected 0x45, received 0x46", DBG_WRN))
        << log.Dump();
    // The figures the operator sees: a failure counted, a frame arrived since.
    EXPECT_EQ(protocol.ChecksumFailures(), 1u);
    EXPECT_EQ(protocol.FramesSkipped(), 0u);
    ASSERT_TRUE(protocol.LastFrameTime(lastFrame));
    EXPECT_GE(lastFrame, beforeFrames);

    protocol.close();
    EXPECT_EQ(protocol.FramesSkipped(), 0u);  // no transport: nothing to ask
    const std::string sLog = dir.Read("Kestrum.txt");
    EXPECT_NE(sLog.find(",Tx Msg,006,0x10,0x05,0x00,0x01,0x85,0x9b\n"), std::string::npos) << sLog;
    EXPECT_NE(sLog.find(",Rx Msg,008,0x10,0x05,0x00,0x03,0x03,0x00,0x2a,0x46\n"), std::string::npos) << sLog;
    EXPECT_NE(sLog.find(", Log stopped "), std::string::npos);
}

TEST(ProtocolBase, InitialiseRulesAndReinitialiseAfterClose)
{
    LogCapture log;
    UdpPeer peer;
    ShortFrameProtocol protocol;
    CommsSettings settings = UdpSettings(peer.Port());

    settings.nCommsMethod = 1;
    EXPECT_FALSE(protocol.initialise(settings, "Kestrum"));
    EXPECT_TRUE(log.Contains("cRC_IO::initialise (73): Unknown Comms Method (1) requested", DBG_ERR));
    EXPECT_EQ(protocol.getCommsIF(), nullptr);

    settings.nCommsMethod = CommsSettings::kUdp;
    settings.sIpAddress = "no.such.address.";
    EXPECT_FALSE(protocol.initialise(settings, "Kestrum"));
    EXPECT_EQ(protocol.getCommsIF(), nullptr);

    settings.sIpAddress = "127.0.0.1";
    ASSERT_TRUE(protocol.initialise(settings, "Kestrum"));
    cCommsIF* pFirst = protocol.getCommsIF();
    EXPECT_TRUE(protocol.initialise(settings, "Kestrum"));
    EXPECT_TRUE(log.Contains("cRC_IO::initialise (47): Comms interface already created", DBG_WRN));
    EXPECT_EQ(protocol.getCommsIF(), pFirst);

    protocol.close();
    EXPECT_EQ(protocol.getCommsIF(), nullptr);
    EXPECT_FALSE(protocol.sendMessage(kGood.data(), 8));
    ASSERT_TRUE(protocol.initialise(settings, "Kestrum"));
    EXPECT_TRUE(protocol.sendMessage(kGood.data(), 8));
    EXPECT_EQ(peer.Receive(), kGood);
}
