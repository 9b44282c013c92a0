#include "ConsoleSettings.h"
#include "UiTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>

using namespace ui_test;

namespace
{
bool IsPeriodicRequest(const UdpPeer::Bytes& frame, uint8_t nRate)
{
    return frame.size() == 24 && frame[0] == 0x10 && frame[4] == 0x70 && frame[5] == nRate && frame[6] == 0x71;
}
} // namespace

// SIGTERM and SIGINT run the same shutdown as File, Exit: the program sends
// the stop of its periodic requests and ends with status 0.
TEST(SignalShutdown, StopSignalsSendTheStopFramesAndExitCleanly)
{
    for (int nSignal : {SIGTERM, SIGINT})
    {
        TempDir dir;
        UdpPeer peer;
        peer.SetTimeout(10);
        dir.Write("pages.xml", R"(<PageDefinitions><Page Title="Tracker">
  <Item SubSystem="4" Item="3" Access="RO" Label="Mode" Type="Byte"/></Page></PageDefinitions>)");
        const std::string sSettings = ConsoleSettings()
                                          .Udp(peer.Port(), FreeUdpPort())
                                          .Main("sPageDefinitionsFile", dir.File("pages.xml"))
                                          .Write(dir);
        const std::unique_ptr<ChildProcess> pConsole = StartConsole(dir, sSettings);
        ASSERT_TRUE(pConsole->Started());

        // With the link silent the console asks again every 1.2 s: it is up and running.
        UdpPeer::Bytes frame;
        do
            frame = peer.Receive();
        while (!frame.empty() && !IsPeriodicRequest(frame, 1));
        ASSERT_FALSE(frame.empty()) << "no periodic request from the console";

        pConsole->Signal(nSignal);
        do
            frame = peer.Receive();
        while (!frame.empty() && !IsPeriodicRequest(frame, 0));
        EXPECT_FALSE(frame.empty()) << "no stop frame after signal " << nSignal;
        if (!frame.empty())
        {
            EXPECT_EQ(frame[1], 4);
        }
        ASSERT_EQ(pConsole->Wait(), 0) << pConsole->Output();
    }
}
