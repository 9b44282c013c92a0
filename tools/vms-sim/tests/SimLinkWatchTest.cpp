// The simulator says in its event log, once when it begins and once when it
// ends, what it receives that it cannot take and when nobody takes its replies.
#include "SimTestSupport.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace
{
const Bytes kShortQuery = WithChecksum({0x10, 0x05, 0x00, 0x01, 0x83});
const Bytes kLongQuery = WithChecksum({0x99, 0x05, 0x02, 0x00, 0x01, 0x83});

int EventsStartingWith(SimUnderTest& sim, const std::string& sStart)
{
    int nCount = 0;
    for (const std::string& sEvent : sim.Events())
        nCount += sEvent.rfind(sStart, 0) == 0 ? 1 : 0;
    return nCount;
}

// Sends the datagram until the event is seen (or 10 s pass).
bool SendUntilEvent(SimWithPeers& sim, const Bytes& datagram, const std::string& sEvent)
{
    return WaitFor([&] {
        sim.Send(datagram);
        return sim.SawEvent(sEvent);
    });
}
} // namespace

// A console of the other variant, EO frames and text on the page port: each
// said once while it lasts, however many datagrams, and each cleared by the
// first command the simulator can take.
TEST(SimLinkWatch, WhatCannotBeTakenIsReportedOnceAndClearedByGoodCommands)
{
    SimWithPeers sim(0);
    ASSERT_TRUE(sim.Start());
    const std::string sSetTo = "; this simulator is set to variant 0 (--variant, else nControllerType of its settings "
                               "file): short frames";
    const std::string sLong = "receiving long frames (0x99)" + sSetTo;
    ASSERT_TRUE(SendUntilEvent(sim, kLongQuery, sLong));
    for (int i = 0; i < 500; ++i)
        sim.Send(kLongQuery);
    ASSERT_TRUE(sim.Exchange(kShortQuery));
    ASSERT_TRUE(WaitFor([&] { return sim.SawEvent("good frames arrive: no longer receiving long frames (0x99)"); }));
    EXPECT_EQ(EventsStartingWith(sim, sLong), 1);

    const Bytes eoFrame = WithChecksum({0x77, 0x1E, 0x00, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(SendUntilEvent(
        sim, eoFrame, "receiving EO frames (0x77) on the page port; EO reports belong on the console's EO port"));
    ASSERT_TRUE(sim.Exchange(kShortQuery));
    ASSERT_TRUE(WaitFor([&] { return sim.SawEvent("good frames arrive: no longer receiving EO frames (0x77)"); }));

    const std::string sText = "receiving text (\"hello\")" + sSetTo;
    ASSERT_TRUE(SendUntilEvent(sim, {'h', 'e', 'l', 'l', 'o'}, sText));
    ASSERT_TRUE(sim.Exchange(kShortQuery));
    ASSERT_TRUE(WaitFor([&] { return sim.SawEvent("good frames arrive: no longer receiving text"); }));
    EXPECT_EQ(EventsStartingWith(sim, "receiving "), 3);
    EXPECT_EQ(EventsStartingWith(sim, "good frames arrive: "), 3);
}

// With no console at the reply port, the heartbeats are refused: said once,
// until a console there sends a command.
TEST(SimLinkWatch, RefusedRepliesAreNoConsoleUntilOneAnswers)
{
    SimWithPeers sim(1);
    sim.Console().Close();
    ASSERT_TRUE(sim.Start());
    const std::string sAt = "127.0.0.1:" + std::to_string(sim.ConsolePort());
    ASSERT_TRUE(WaitFor([&] { return sim.SawEvent("no console at " + sAt); }));

    UdpPeer console("127.0.0.1", sim.ConsolePort());
    ASSERT_TRUE(WaitFor([&] {
        console.SendTo(sim.PagesPort(), kLongQuery);
        return sim.SawEvent("console at " + sAt + " answers");
    }));
    EXPECT_EQ(EventsStartingWith(sim, "no console at "), 1);
}
