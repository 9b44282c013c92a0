// The console's session on a bad network: the simulator spoils its UDP links
// both ways (loss, jitter, reordering, duplicates, corruption) from a fixed
// seed, as a radio or cellular link would.
//
// What the protocol allows: frames carry no sequence number and commands are
// not acknowledged, so a lost command is simply not done, and a status frame
// overtaken by a newer one is still taken when it arrives (the holder shows
// the older value until the next frame). What the console does: it takes each
// whole, checksum-good frame as it comes and drops the others, counted; it
// keeps asking for the periodic status, so its holders end on the value the
// remote system last sent; an operator repeats a command that did not show.
#include "ConsoleSettings.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cConsoleSession.h"
#include "cRC_IO_Pages.h"
#include "cRC_LinkQuality.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Live">
    <Item SubSystem="4" Index="1" Item="1" Access="RO" Label="Frame count" Type="U32"/>
    <Item SubSystem="4" Index="1" Item="2" Access="RW" Label="Mode" Type="Byte"/>
  </Page>
</PageDefinitions>
)";
constexpr uint8_t kSubSystem = 4;
constexpr uint8_t kIndex = 1;
constexpr uint8_t kModeItem = 2;

// Generous: a loaded two-core machine and a link that loses a third.
constexpr auto kLinkLimit = 30s;

class ImpairedLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* szConfig = std::getenv("XDG_CONFIG_HOME");
        m_bHadConfig = szConfig != nullptr;
        m_sOldConfig = szConfig ? szConfig : "";
        setenv("XDG_CONFIG_HOME", m_Dir.Path().c_str(), 1);
        m_Dir.Write("pages.xml", kPages);
    }
    void TearDown() override
    {
        m_pSession.reset();
        m_Sim.Stop();
        if (m_bHadConfig)
            setenv("XDG_CONFIG_HOME", m_sOldConfig.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    // The simulator (long frames with the heartbeat) spoiling both directions
    // alike, and the console's session against it.
    void Start(const cSimImpairment::Settings& network, uint32_t nSeed)
    {
        m_Sim.Options().m_ImpairTx = network;
        m_Sim.Options().m_ImpairRx = network;
        m_Sim.Options().m_nSeed = nSeed;
        ASSERT_TRUE(m_Sim.Start());
        const std::string sSettings = ConsoleSettings()
                                          .Udp(m_Sim.PagesPort(), 0)
                                          .Main("nControllerType", 1)
                                          .Main("bUseVMS_HeartBeat", true)
                                          .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
                                          .Eo("nTxPort", m_Sim.EoPort())
                                          .Eo("nRxPort", 0)
                                          .Write(m_Dir);
        m_pSession = std::make_unique<cConsoleSession>(sSettings);
        ASSERT_TRUE(m_pSession->Load().bPagesRead);
        ASSERT_EQ(m_pSession->StartPages(), cConsoleSession::Result::kStarted);
        ASSERT_TRUE(WaitFor([&] { return Pages().m_bLinkActive.load(); }, kLinkLimit));
    }

    cRC_IO_Pages& Pages() { return *m_pSession->RC_IO_Pages(); }
    uint8_t ConsoleMode() { return static_cast<RC_ByteValue&>(*m_pSession->Pages().Items(0).at(1).pValue).Get(); }
    uint8_t SimMode()
    {
        const uint32_t nKey = cSimItemStore::Key(kSubSystem, kIndex, kModeItem);
        return static_cast<RC_ByteValue*>(m_Sim.Sim().Items().Holder(nKey, RC_DataType::Byte))->Get();
    }
    // As an operator on a lossy link: sends the mode again every half second
    // until the console shows it.
    bool SetMode(uint8_t nMode)
    {
        return WaitFor(
            [&] {
                if (ConsoleMode() == nMode)
                    return true;
                Pages().SendByte(kSubSystem, kIndex, kModeItem, nMode);
                std::this_thread::sleep_for(500ms);
                return ConsoleMode() == nMode;
            },
            kLinkLimit);
    }

    TempDir m_Dir;
    SimUnderTest m_Sim{1, m_Dir.File("pages.xml")};
    std::unique_ptr<cConsoleSession> m_pSession;
    std::string m_sOldConfig;
    bool m_bHadConfig = false;
};
} // namespace

// 10% loss and up to 50 ms of jitter each way: commands get through when
// repeated, and the console's items end on the simulator's values.
TEST_F(ImpairedLink, ItemsConvergeThroughLossAndJitter)
{
    cSimImpairment::Settings network;
    network.dLoss = 0.1;
    network.nJitterMs = 50;
    Start(network, 11);
    for (uint8_t nMode : {3, 9, 4})
    {
        ASSERT_TRUE(SetMode(nMode)) << "mode " << int(nMode);
        EXPECT_EQ(SimMode(), nMode);
    }
    // The read-only counter moves at the simulator, and an operator who asks
    // for it sees it move.
    auto& frameCount = static_cast<RC_U32Value&>(*m_pSession->Pages().Items(0).at(0).pValue);
    const uint32_t nBefore = frameCount.Get();
    EXPECT_TRUE(WaitFor(
        [&] {
            Pages().SendQuery(kSubSystem, kIndex, 1);
            std::this_thread::sleep_for(200ms);
            return frameCount.Get() != nBefore;
        },
        kLinkLimit));
}

// Reordered and duplicated datagrams: a frame may be taken late, but the
// console never shows a value the simulator did not send, and once the
// operator stops changing it, the item settles on the value last sent.
// Duplicates are counted in the link figures.
TEST_F(ImpairedLink, ReorderedAndDuplicatedFramesSettleOnTheLastValue)
{
    cSimImpairment::Settings network;
    network.dReorder = 0.3;
    network.dDuplicate = 0.3;
    Start(network, 5);
    const std::set<uint8_t> sent = {0, 1, 2, 3, 4, 5, 6};  // 0: the simulator's start value
    for (uint8_t nMode = 1; nMode <= 6; ++nMode)
        ASSERT_TRUE(SetMode(nMode)) << "mode " << int(nMode);

    // Watched for a second after the last change: only values that were sent,
    // and the last one held.
    const auto until = std::chrono::steady_clock::now() + 1s;
    std::set<uint8_t> shown;
    while (std::chrono::steady_clock::now() < until)
    {
        shown.insert(ConsoleMode());
        std::this_thread::sleep_for(5ms);
    }
    for (uint8_t nMode : shown)
        EXPECT_TRUE(sent.count(nMode)) << "shown but never sent: " << int(nMode);
    EXPECT_TRUE(WaitFor([&] { return ConsoleMode() == 6; }, kLinkLimit));
    EXPECT_EQ(SimMode(), 6);
    EXPECT_TRUE(WaitFor([&] {
        return m_pSession->LinkQuality().Snapshot(cRC_LinkQuality::Clock::now()).Duplicates() > 0;
    }));
}

// A flipped bit in a fifth of the datagrams each way: those frames are
// checksum failures and nothing else (no frame cut wrongly, no frame of the
// wrong kind, no wrong value); the rest carries on.
TEST_F(ImpairedLink, CorruptedDatagramsAreChecksumFailuresOnly)
{
    cSimImpairment::Settings network;
    network.dCorrupt = 0.2;
    Start(network, 3);
    ASSERT_TRUE(SetMode(7));
    // Traffic of our own: the periodic request may itself have been spoilt.
    ASSERT_TRUE(WaitFor(
        [&] {
            Pages().SendQuery(kSubSystem, kIndex, kModeItem);
            std::this_thread::sleep_for(20ms);
            return Pages().ChecksumFailures() >= 20;
        },
        kLinkLimit));
    const auto until = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < until)
    {
        ASSERT_EQ(ConsoleMode(), 7);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(Pages().FramesSkipped(), 0u);
    EXPECT_TRUE(Pages().MismatchText().empty()) << Pages().MismatchText();
    EXPECT_TRUE(m_Sim.SawEvent("wrong checksum")) << "the console's spoilt commands are caught at the simulator too";
}

// A third of the datagrams lost each way: the heartbeat rules may call the
// link lost now and then, but the console keeps working: queries are
// answered (by the reply or the next periodic frame) and a repeated command
// gets through.
TEST_F(ImpairedLink, HeavyLossLeavesTheConsoleUsable)
{
    cSimImpairment::Settings network;
    network.dLoss = 0.3;
    Start(network, 17);
    EXPECT_TRUE(WaitFor(
        [&] {
            // An operator reading the mode now and then.
            Pages().SendQuery(kSubSystem, kIndex, kModeItem);
            std::this_thread::sleep_for(100ms);
            return m_pSession->LinkQuality().Snapshot(cRC_LinkQuality::Clock::now()).nAnswered >= 20;
        },
        kLinkLimit));
    EXPECT_TRUE(SetMode(5));
    EXPECT_EQ(SimMode(), 5);
}
