// The page protocol explains a link that cannot work: frames of another kind
// (or none at all) arriving, and a destination where nothing listens. Each is
// said once when it begins and once when it ends, however many datagrams.
#include "LogCapture.h"
#include "RC_Frame.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cCommsIF.h"
#include "cRC_IO_Pages.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes StatusFrame(RC_Variant eVariant)
{
    const uint8_t payload[] = {0x03, 0x01, 0x2C};
    RC_Frame frame;
    frame.BuildStatus(eVariant, 5, 2, 0, payload, sizeof(payload));
    return {frame.Data(), frame.Data() + frame.Size()};
}

// A page protocol on a port of its own with its timer left to the test, which
// looks at the link as the 100 ms tick would, at times of its choosing.
struct Console
{
    Console(RC_Variant eVariant, uint16_t nTargetPort) : nPort(FreeUdpPort()), pages(eVariant, false)
    {
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = nTargetPort;
        settings.nRxPort = nPort;
        EXPECT_TRUE(pages.initialise(settings, "Kestrum"));
    }
    uint32_t Unframed(RC_DatagramKind eKind) const { return pages.getCommsIF()->UnframedDatagrams(eKind); }
    uint32_t Refusals() const { return pages.getCommsIF()->Refusals(); }
    void Watch(std::chrono::steady_clock::duration elapsed = 100ms) { pages.WatchLink(now += elapsed); }
    // Sends the datagram nTimes and waits until the transport has taken them.
    ::testing::AssertionResult Receive(UdpPeer& peer, const Bytes& datagram, RC_DatagramKind eKind, uint32_t nTimes)
    {
        const uint32_t nBefore = Unframed(eKind);
        for (uint32_t i = 0; i < nTimes; ++i)
            peer.SendTo(nPort, datagram);
        if (WaitFor([&] { return Unframed(eKind) == nBefore + nTimes; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << Unframed(eKind) - nBefore << " of " << nTimes << " datagrams counted";
    }
    ::testing::AssertionResult ReceiveGoodFrame(UdpPeer& peer)
    {
        const int32_t nBefore = pages.m_nRxCount;
        peer.SendTo(nPort, StatusFrame(pages.ControllerType()));
        if (WaitFor([&] { return pages.m_nRxCount == nBefore + 1; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the good frame was not handled";
    }

    uint16_t nPort;
    cRC_IO_Pages pages;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

int Warnings(const LogCapture& log)
{
    int nWarnings = 0;
    for (const LogCapture::Line& line : log.Lines())
        nWarnings += line.nLevel <= DBG_WRN ? 1 : 0;
    return nWarnings;
}
} // namespace

// A console set for long frames flooded with short ones says so once, in the
// words the status bar shows, and once more when long frames come.
TEST(LinkProblems, FloodOfTheOtherFrameKindIsReportedOnceAndClearedByTheRightFrames)
{
    LogCapture log;
    UdpPeer remote;
    Console console(RC_Variant::LongFrames, remote.Port());
    const Bytes shortFrame = StatusFrame(RC_Variant::ShortFrames);
    ASSERT_TRUE(console.Receive(remote, shortFrame, RC_DatagramKind::Short, 2));
    console.Watch();
    EXPECT_EQ(console.pages.MismatchText(), "");

    const std::string sExpected = "receiving short frames (0x10); this console is set to nControllerType 1: long frames";
    for (int nBurst = 0; nBurst < 20; ++nBurst)
    {
        ASSERT_TRUE(console.Receive(remote, shortFrame, RC_DatagramKind::Short, 100));
        console.Watch();
        ASSERT_EQ(console.pages.MismatchText(), sExpected) << nBurst;
    }
    EXPECT_EQ(log.Count("(cRC_IO_Pages) " + sExpected, DBG_WRN), 1) << log.Dump();
    // Not a line per datagram, nor any other warning for them.
    EXPECT_EQ(Warnings(log), 1) << log.Dump();

    ASSERT_TRUE(console.ReceiveGoodFrame(remote));
    console.Watch();
    EXPECT_EQ(console.pages.MismatchText(), "");
    EXPECT_EQ(log.Count("good frames arrive: no longer receiving short frames (0x10)", DBG_INF), 1) << log.Dump();
    console.Watch(10s);
    EXPECT_EQ(log.Count("cRC_IO::WatchLink"), 2) << log.Dump();
}

// Each kind of wrong datagram has its own words; each is cleared when the
// right frames come, and a new one needs a new run.
TEST(LinkProblems, EoFramesTextAndJunkOnThePagePortEachSayWhatTheyAre)
{
    LogCapture log;
    UdpPeer remote;
    Console console(RC_Variant::ShortFrames, remote.Port());
    struct Case
    {
        Bytes datagram;
        RC_DatagramKind eKind;
        std::string sText;
    };
    const std::vector<Case> cases = {
        {{0x77, 0x1E, 0x00, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA4}, RC_DatagramKind::Eo,
         "receiving EO frames (0x77) on the page port; EO reports belong on the EO port (nRxPort of EoTrackData)"},
        {{'P', 'I', 'N', 'G', '\n'}, RC_DatagramKind::Text,
         "receiving text (\"PING\"); this console is set to nControllerType 0: short frames"},
        {{0x00, 0x01, 0x02}, RC_DatagramKind::Other,
         "receiving datagrams that are not frames (first byte 0x00); this console is set to nControllerType 0: short "
         "frames"},
        {StatusFrame(RC_Variant::LongFrames), RC_DatagramKind::Long,
         "receiving long frames (0x99); this console is set to nControllerType 0: short frames"},
    };
    for (const Case& c : cases)
    {
        // Past the hold that the previous good frame puts on a new mismatch.
        console.Watch(3s);
        ASSERT_TRUE(console.Receive(remote, c.datagram, c.eKind, 3)) << c.sText;
        console.Watch();
        EXPECT_EQ(console.pages.MismatchText(), c.sText);
        EXPECT_EQ(log.Count(c.sText, DBG_WRN), 1) << log.Dump();

        ASSERT_TRUE(console.ReceiveGoodFrame(remote));
        console.Watch();
        EXPECT_EQ(console.pages.MismatchText(), "") << c.sText;
    }
    EXPECT_EQ(log.Count("cRC_IO::WatchLink", DBG_WRN), 4) << log.Dump();
    EXPECT_EQ(log.Count("good frames arrive: no longer receiving", DBG_INF), 4) << log.Dump();
}

// Sends to a port where nothing listens are refused: "no remote system at
// host:port", once however many sends, until the remote system answers.
TEST(LinkProblems, ClosedTargetPortIsNoRemoteSystemUntilItAnswers)
{
    LogCapture log;
    const uint16_t nClosed = FreeUdpPort();
    Console console(RC_Variant::LongFrames, nClosed);
    const std::string sExpected = "no remote system at 127.0.0.1:" + std::to_string(nClosed);
    for (uint32_t nSend = 1; nSend <= 5; ++nSend)
    {
        ASSERT_TRUE(console.pages.SendQuery(5, 2, 3));
        ASSERT_TRUE(WaitFor([&] { return console.Refusals() >= nSend; })) << nSend;
        console.Watch();
        EXPECT_EQ(console.pages.RefusalText(), sExpected);
    }
    EXPECT_EQ(log.Count("(cRC_IO_Pages) " + sExpected, DBG_WRN), 1) << log.Dump();

    UdpPeer remote("127.0.0.1", nClosed);
    ASSERT_TRUE(console.pages.SendQuery(5, 2, 3));
    bool bTimedOut = false;
    remote.Receive(&bTimedOut);
    ASSERT_FALSE(bTimedOut);
    ASSERT_TRUE(console.ReceiveGoodFrame(remote));
    console.Watch();
    EXPECT_EQ(console.pages.RefusalText(), "");
    EXPECT_EQ(log.Count("remote system at 127.0.0.1:" + std::to_string(nClosed) + " answers", DBG_INF), 1)
        << log.Dump();
    EXPECT_EQ(log.Count("no remote system at"), 1) << log.Dump();
}
