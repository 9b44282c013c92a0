// A session recorded by a console's traffic log against the simulator, then
// replayed by vms-sim into a fresh console: the fresh console's holders end
// with the values the recording console ended with. The same session as a
// capture file plays the same frames.
#include "LogCapture.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "UdpPeer.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"
#include "cTrafficLogConverter.h"
#include "cTrafficLogReader.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Settable">
    <Item SubSystem="3" Index="1" Item="2" Access="RW" Label="Gate width" Type="U16"/>
    <Item SubSystem="3" Index="1" Item="5" Access="RW" Label="Bias" Type="S32"/>
    <Item SubSystem="3" Index="1" Item="7" Access="RW" Label="Az rate" Type="Fixed"/>
    <Item SubSystem="3" Index="1" Item="8" Access="RW" Label="El rate" Type="Fixed"/>
    <Item SubSystem="3" Index="1" Item="9" Access="RW" Label="Name" Type="String"/>
  </Page>
  <Page Title="Live">
    <Item SubSystem="4" Index="1" Item="3" Access="RO" Label="Ramp" Type="U32"/>
    <Item SubSystem="4" Index="1" Item="4" Access="RO" Label="Sine" Type="Float"/>
    <Item SubSystem="4" Index="1" Item="5" Access="RO" Label="Seconds" Type="Double"/>
  </Page>
</PageDefinitions>
)";

std::vector<std::string> Values(const cPageList& pages)
{
    std::vector<std::string> values;
    for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
        for (const PageItem& item : pages.Items(nPage))
            values.push_back(item.sLabel + "=" + item.pValue->ToText());
    return values;
}

std::unique_ptr<cRC_IO_Pages> Console(uint16_t nPort, bool bLogRx, cPageList& pages)
{
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = nPort;
    settings.nRxPort = 0;
    settings.bLogRx = bLogRx;
    auto pConsole = std::make_unique<cRC_IO_Pages>(RC_Variant::LongFrames);
    EXPECT_TRUE(pConsole->initialise(settings, "Kestrum"));
    pConsole->m_pPageDefinitions = &pages;
    pConsole->RegisterItems();
    return pConsole;
}
} // namespace

TEST(Replay, RecordedSessionEndsWithTheRecordedValues)
{
    LogCapture log(DBG_WRN);
    TempDir dir;
    dir.Write("pages.xml", kPages);
    ScopedChdir here(dir.Path());  // the console's traffic log, Kestrum.txt, goes here

    // The live run: sets answered, live values moving, every 5th frame spoilt.
    cPageList recorded;
    ASSERT_EQ(cPageDefinitionsReader(RC_Variant::LongFrames).Read("pages.xml", recorded),
              cPageDefinitionsReader::Result::kRead);
    int nChecksumFailures = 0;
    {
        SimUnderTest sim(1, "pages.xml");
        sim.Options().m_nBadChecksumEvery = 5;
        ASSERT_TRUE(sim.Start());
        std::unique_ptr<cRC_IO_Pages> pConsole = Console(sim.PagesPort(), true, recorded);
        ASSERT_TRUE(pConsole->SendU16(3, 1, 2, 300));
        ASSERT_TRUE(pConsole->SendS32(3, 1, 5, -123456));
        ASSERT_TRUE(pConsole->SendFixedPair(3, 1, 7, 1.5f, 8, -0.25f));
        ASSERT_TRUE(pConsole->SendString(3, 1, 9, "tracker"));
        ASSERT_TRUE(WaitFor([&] { return pConsole->m_nRxCount >= 60; }, 20s));
        pConsole.reset();  // closes its log
        sim.Stop();
        nChecksumFailures = log.Count("Checksum failed");
    }
    const std::vector<std::string> expected = Values(recorded);
    ASSERT_GT(nChecksumFailures, 0) << "no spoilt frame was recorded";
    EXPECT_NE(expected[0], "Gate width=0") << "the set was not answered";

    // The replay, at four times the speed, into a console that logs nothing.
    cPageList fresh;
    ASSERT_EQ(cPageDefinitionsReader(RC_Variant::LongFrames).Read("pages.xml", fresh),
              cPageDefinitionsReader::Result::kRead);
    ASSERT_NE(Values(fresh), expected);
    ReplayUnderTest replay;
    replay.Options().m_ReplayFiles = {dir.File("Kestrum.txt")};
    replay.Options().m_dReplaySpeed = 4.0;
    ASSERT_TRUE(replay.Start());
    // The console's first frames start the playback.
    std::unique_ptr<cRC_IO_Pages> pConsole = Console(replay.PagesPort(), false, fresh);
    ASSERT_TRUE(WaitFor([&] { return replay.Sim().Finished(); }, 30s));
    EXPECT_TRUE(WaitFor([&] { return Values(fresh) == expected; })) << ::testing::PrintToString(Values(fresh));
    EXPECT_EQ(replay.Sim().FramesSent(), replay.Sim().Frames().size());
    // The spoilt frames were played as recorded, and refused as they were then.
    EXPECT_TRUE(WaitFor([&] { return log.Count("Checksum failed") == 2 * nChecksumFailures; }))
        << log.Count("Checksum failed") << " vs " << nChecksumFailures;
    pConsole.reset();
    replay.Stop();
}

// A session's logs made a capture file (kestrum-dissector --pcap) and played
// by vms-sim --replay: the console's page and EO ports receive, in order,
// exactly the frames the logs recorded as received on each link.
TEST(Replay, CaptureFilePlaysTheRecordedFramesOnTheirLinks)
{
    TempDir dir;
    dir.Write("pages.xml", kPages);
    ScopedChdir here(dir.Path());  // Kestrum.txt and EoTrackData.txt go here
    {
        SimUnderTest sim(1, "pages.xml");
        sim.Options().m_bEoOn = true;
        ASSERT_TRUE(sim.Start());
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = sim.PagesPort();
        settings.nRxPort = sim.ConsolePort();
        settings.nEoTxPort = sim.EoPort();
        settings.nEoRxPort = sim.ConsoleEoPort();
        settings.bLogRx = settings.bLogTx = true;
        cPageList pages;
        ASSERT_EQ(cPageDefinitionsReader(RC_Variant::LongFrames).Read("pages.xml", pages),
                  cPageDefinitionsReader::Result::kRead);
        cRC_IO_Pages console(RC_Variant::LongFrames);
        ASSERT_TRUE(console.initialise(settings, "Kestrum"));
        console.m_pPageDefinitions = &pages;
        console.RegisterItems();
        cRC_IO_EoData eo;
        ASSERT_TRUE(eo.initialise(settings, "EoTrackData"));
        ASSERT_TRUE(console.SendString(3, 1, 9, "capture"));
        ASSERT_TRUE(WaitFor([&] { return console.m_nRxCount >= 5 && eo.CopyTrackData().numTracks.IsValid(); }, 20s))
            << console.m_nRxCount << " page frames; EO report: " << eo.CopyTrackData().numTracks.IsValid();
        sim.Stop();
    }
    std::vector<std::vector<uint8_t>> pageFrames;
    std::vector<std::vector<uint8_t>> eoFrames;
    for (auto [szLog, pFrames] : {std::pair{"Kestrum.txt", &pageFrames}, std::pair{"EoTrackData.txt", &eoFrames}})
    {
        cTrafficLogReader reader;
        ASSERT_TRUE(reader.Read(szLog)) << reader.Error();
        for (const cTrafficLogReader::Record& record : reader.Received())
            pFrames->push_back(record.bytes);
    }
    ASSERT_GE(eoFrames.size(), 1u);

    ReplayUnderTest replay(1, "pages.xml");
    replay.Options().m_bReplayNow = true;
    replay.Options().m_dReplaySpeed = 4.0;
    UdpPeer console("127.0.0.1", replay.ConsolePort());
    UdpPeer consoleEo("127.0.0.1", replay.ConsoleEoPort());
    CommsSettings ports;
    ports.nTxPort = FreeUdpPort();
    ports.nRxPort = replay.ConsolePort();
    ports.nEoTxPort = FreeUdpPort();
    ports.nEoRxPort = replay.ConsoleEoPort();
    cTrafficLogConverter converter(ports);
    ASSERT_TRUE(converter.Add("Kestrum.txt")) << converter.Error();
    ASSERT_TRUE(converter.Add("EoTrackData.txt")) << converter.Error();
    ASSERT_TRUE(converter.Write("session.pcap")) << converter.Error();

    replay.Options().m_ReplayFiles = {dir.File("session.pcap")};
    ASSERT_TRUE(replay.Start());
    for (auto [pPeer, pFrames] : {std::pair{&console, &pageFrames}, std::pair{&consoleEo, &eoFrames}})
    {
        std::vector<std::vector<uint8_t>> received;
        while (received.size() < pFrames->size())
        {
            std::optional<UdpPeer::Bytes> datagram = pPeer->ReceiveWithin(10s);
            if (!datagram)
                break;
            received.push_back(*datagram);
        }
        EXPECT_EQ(received, *pFrames);
    }
    EXPECT_TRUE(WaitFor([&] { return replay.Sim().Finished(); }, 30s));
    EXPECT_EQ(replay.Sim().FramesSent(), pageFrames.size() + eoFrames.size());
    EXPECT_TRUE(replay.SawEvent("datagrams to the console, ")) << ::testing::PrintToString(replay.Events());
    replay.Stop();
}
