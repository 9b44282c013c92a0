// The console's protocol objects against the simulated remote system, over
// UDP on 127.0.0.1 and over a pair of pseudo-terminals.
#include "ChildProcess.h"
#include "LogCapture.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
// Read-write items of every type the console sends, and two read-only items
// the simulator keeps changing.
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Settable">
    <Item SubSystem="3" Index="1" Item="1" Access="RW" Label="Mode" Type="Byte"/>
    <Item SubSystem="3" Index="1" Item="2" Access="RW" Label="Gate width" Type="U16"/>
    <Item SubSystem="3" Index="1" Item="3" Access="RW" Label="Offset" Type="S16"/>
    <Item SubSystem="3" Index="1" Item="4" Access="RW" Label="Count" Type="U32"/>
    <Item SubSystem="3" Index="1" Item="5" Access="RW" Label="Bias" Type="S32"/>
    <Item SubSystem="3" Index="1" Item="6" Access="RW" Label="Gain" Type="Float"/>
    <Item SubSystem="3" Index="1" Item="7" Access="RW" Label="Az rate" Type="Fixed"/>
    <Item SubSystem="3" Index="1" Item="8" Access="RW" Label="El rate" Type="Fixed"/>
    <Item SubSystem="3" Index="1" Item="9" Access="RW" Label="Name" Type="String"/>
  </Page>
  <Page Title="Live">
    <Item SubSystem="4" Index="1" Item="1" Access="RO" Label="Frame count" Type="U32"/>
    <Item SubSystem="4" Index="1" Item="2" Access="RO" Label="Temperature" Type="Float"/>
  </Page>
</PageDefinitions>
)";

// One simulator and one console page protocol talking to each other.
class Link
{
public:
    explicit Link(int32_t nVariant, const std::function<void(cSimOptions&)>& adjust = {})
        : m_Sim(nVariant, m_Dir.File("pages.xml"))
    {
        m_Dir.Write("pages.xml", kPages);
        if (adjust)
            adjust(m_Sim.Options());
        EXPECT_TRUE(m_Sim.Start());
        EXPECT_EQ(cPageDefinitionsReader(m_Sim.Options().Variant()).Read(m_Dir.File("pages.xml"), m_PageList),
                  cPageDefinitionsReader::Result::kRead);
    }
    ~Link()
    {
        m_pPages.reset();
        m_Sim.Stop();
    }

    CommsSettings Settings()
    {
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Sim.PagesPort();
        settings.nRxPort = 0;
        settings.nEoTxPort = m_Sim.EoPort();
        settings.nEoRxPort = 0;
        return settings;
    }

    cRC_IO_Pages& Console(const CommsSettings& settings)
    {
        m_pPages = std::make_unique<cRC_IO_Pages>(m_Sim.Options().Variant());
        EXPECT_TRUE(m_pPages->initialise(settings, "Kestrum"));
        m_pPages->m_pPageDefinitions = &m_PageList;
        m_pPages->RegisterItems();
        return *m_pPages;
    }
    cRC_IO_Pages& Console() { return Console(Settings()); }

    RC_ItemValue& Holder(size_t nPage, size_t nItem) { return *m_PageList.Items(nPage).at(nItem).pValue; }
    bool SawEvent(const std::string& sFragment) { return m_Sim.SawEvent(sFragment); }
    void DestroyConsole() { m_pPages.reset(); }
    cSimulator& Simulator() { return m_Sim.Sim(); }

private:
    TempDir m_Dir;
    SimUnderTest m_Sim;
    cPageList m_PageList;
    std::unique_ptr<cRC_IO_Pages> m_pPages;
};

template <typename Holder>
auto ValueOf(RC_ItemValue& holder)
{
    return static_cast<Holder&>(holder).Get();
}

// Sets every settable type, waits for the answer in the holder, then asks for
// it again and sees it arrive once more.
void RoundTrips(Link& link, cRC_IO_Pages& pages, uint8_t nIndex)
{
    auto answered = [&](size_t nItem) {
        return WaitFor([&] { return link.Holder(0, nItem).IsValid(); });
    };
    ASSERT_TRUE(pages.SendByte(3, nIndex, 1, 7));
    ASSERT_TRUE(answered(0));
    EXPECT_EQ(ValueOf<RC_ByteValue>(link.Holder(0, 0)), 7);
    ASSERT_TRUE(pages.SendU16(3, nIndex, 2, 300));
    ASSERT_TRUE(answered(1));
    EXPECT_EQ(ValueOf<RC_U16Value>(link.Holder(0, 1)), 300);
    ASSERT_TRUE(pages.SendS16(3, nIndex, 3, -2));
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(ValueOf<RC_S16Value>(link.Holder(0, 2)), -2);
    ASSERT_TRUE(pages.SendU32(3, nIndex, 4, 4000000000u));
    ASSERT_TRUE(answered(3));
    EXPECT_EQ(ValueOf<RC_U32Value>(link.Holder(0, 3)), 4000000000u);
    ASSERT_TRUE(pages.SendS32(3, nIndex, 5, -123456));
    ASSERT_TRUE(answered(4));
    EXPECT_EQ(ValueOf<RC_S32Value>(link.Holder(0, 4)), -123456);
    ASSERT_TRUE(pages.SendFloat(3, nIndex, 6, 2.5f));
    ASSERT_TRUE(answered(5));
    EXPECT_FLOAT_EQ(ValueOf<RC_FloatValue>(link.Holder(0, 5)), 2.5f);
    ASSERT_TRUE(pages.SendFixedPair(3, nIndex, 7, 1.5f, 8, -0.25f));
    ASSERT_TRUE(answered(6) && answered(7));
    EXPECT_FLOAT_EQ(static_cast<RC_FixedValue&>(link.Holder(0, 6)).Value(), 1.5f);
    EXPECT_FLOAT_EQ(static_cast<RC_FixedValue&>(link.Holder(0, 7)).Value(), -0.25f);
    ASSERT_TRUE(pages.SendString(3, nIndex, 9, "tracker"));
    ASSERT_TRUE(answered(8));
    EXPECT_EQ(ValueOf<RC_StringValue>(link.Holder(0, 8)), std::string("tracker\0", 8));

    for (size_t nItem = 0; nItem < 9; ++nItem)
    {
        link.Holder(0, nItem).ClearValid();
        ASSERT_TRUE(pages.SendQuery(3, nIndex, static_cast<uint8_t>(nItem + 1)));
        ASSERT_TRUE(answered(nItem)) << "query of item " << nItem + 1;
    }
    EXPECT_EQ(ValueOf<RC_U16Value>(link.Holder(0, 1)), 300);
}
} // namespace

TEST(SimIntegration, SetAndQueryEveryTypeInBothVariants)
{
    {
        Link link(0);
        RoundTrips(link, link.Console(), 0);
    }
    {
        Link link(1);
        RoundTrips(link, link.Console(), 1);
    }
}

// Without traffic the console asks for periodic transmission (again every
// 1.2 s while silent); the live items then keep changing; destroying the
// console stops the requests at the simulator.
TEST(SimIntegration, PeriodicRequestsKeepValuesLiveAndStopOnDestruction)
{
    Link link(0);
    cRC_IO_Pages& pages = link.Console();
    ASSERT_TRUE(WaitFor([&] { return link.SawEvent("periodic 4/0 every 100 ms"); }));
    ASSERT_TRUE(WaitFor([&] { return link.Holder(1, 0).IsValid(); }));
    const uint32_t nFirst = ValueOf<RC_U32Value>(link.Holder(1, 0));
    ASSERT_TRUE(WaitFor([&] { return ValueOf<RC_U32Value>(link.Holder(1, 0)) != nFirst; }));
    EXPECT_TRUE(pages.m_bLinkActive);
    link.DestroyConsole();
    EXPECT_TRUE(WaitFor([&] { return link.SawEvent("periodic 4/0 stopped"); }));
}

// With the heartbeat the link turns active once heartbeats flow both ways, and
// inactive again when the simulator's heartbeats stop.
TEST(SimIntegration, HeartbeatDecidesTheLinkState)
{
    LogCapture log;
    Link link(1, [](cSimOptions& options) {
        options.m_dNoHeartbeatAfter = 5.0;
        options.m_dNoHeartbeatFor = 60.0;
    });
    cRC_IO_Pages& pages = link.Console();
    pages.m_bUseHeartbeat = true;
    ASSERT_TRUE(WaitFor([&] { return pages.GetLinkStatusText() == "Active - 0"; }, 15s)) << pages.GetLinkStatusText();
    ASSERT_TRUE(WaitFor([&] { return pages.GetLinkStatusText() == "Inactive - 3"; }, 20s)) << pages.GetLinkStatusText();
    EXPECT_EQ(log.Count("Now missed 3 HB messages from the VMS, setting link inactive", DBG_WRN), 1);
    EXPECT_FALSE(pages.m_bLinkActive);
}

// Switching the EO output on starts the simulator's track stream, which the
// EO receiver decodes; switching it off stops it.
TEST(SimIntegration, EoStreamIsSwitchedOnAndDecoded)
{
    for (int32_t nFormat : {0, 1, 30, 33})
    {
        Link link(1, [nFormat](cSimOptions& options) { options.m_nEoFormat = nFormat; });
        cRC_IO_Pages& pages = link.Console();
        cRC_IO_EoData eo;
        ASSERT_TRUE(eo.initialise(link.Settings(), "EoTrackData"));
        ASSERT_TRUE(pages.EnableEoDataOutput(true));
        ASSERT_TRUE(WaitFor([&] { return eo.CopyTrackData().numTracks.Get() > 0 && eo.CopyTagData().numTracks.Get() > 0; }))
            << "format " << nFormat;
        const EoReport tracks = eo.CopyTrackData();
        EXPECT_EQ(tracks.format.Get(), nFormat);
        EXPECT_TRUE(tracks.tracks[0].bIdValid);
        EXPECT_EQ(tracks.tracks[0].bRangePresent, nFormat == 1);
        EXPECT_EQ(tracks.tracks[0].bExtraPresent, nFormat == 33);
        ASSERT_TRUE(pages.EnableEoDataOutput(false));
        EXPECT_TRUE(WaitFor([&] { return !link.Simulator().EoStreaming(); }));
    }
}

// The same exchange over a serial line: two pseudo-terminals joined by socat.
TEST(SimIntegration, SerialLinkThroughPseudoTerminals)
{
    TempDir ptys;
    const std::string sConsoleEnd = ptys.File("console");
    const std::string sSimEnd = ptys.File("sim");
    const std::string sLeft = "pty,raw,echo=0,link=" + sConsoleEnd;
    const std::string sRight = "pty,raw,echo=0,link=" + sSimEnd;
    ChildProcess socat("socat", {sLeft, sRight});
    if (!socat.Started())
        GTEST_SKIP() << "socat is not installed";
    ASSERT_TRUE(WaitFor([&] { return access(sConsoleEnd.c_str(), F_OK) == 0 && access(sSimEnd.c_str(), F_OK) == 0; }));
    {
        Link link(0, [&](cSimOptions& options) { options.m_sSerialDevice = sSimEnd; });
        CommsSettings settings = link.Settings();
        settings.nCommsMethod = CommsSettings::kSerial;
        settings.bEnablePort = true;
        settings.sSerialDevice = sConsoleEnd;
        RoundTrips(link, link.Console(settings), 0);
    }
    socat.Signal(SIGTERM);
    socat.Wait();
}
