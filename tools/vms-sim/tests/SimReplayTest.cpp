// Replay of recorded traffic logs, played to peer sockets standing for the console.
#include "SimTestSupport.h"
#include "WaitFor.h"
#include "cSimReplay.h"

#include <gtest/gtest.h>

using namespace simtest;
using namespace std::chrono_literals;

namespace
{
// A console's message log: a good status frame, a sent command (not played),
// a frame with a bad checksum, one held in part, and an EO frame.
const char* const kLog = "Time, [Comment], Count, Data\n"
                         "0, Log started \n"
                         "100:100,Rx Msg,007,0x10,0x05,0x00,0x02,0x0c,0x07,0x2a\n"
                         "400**300,Tx Msg,006,0x10,0x05,0x02,0x01,0x8c,0xa4\n"
                         "700**600,Rx Msg,007,0x10,0x05,0x00,0x02,0x0c,0x08,0x00\n"
                         "1100**400,Rx Msg,009,0x10,0x04,0x40\n"
                         "1150:050,Rx Msg,004,0x77,0x07,0x00,0x7e\n"
                         "1200, Log stopped \n";

// The replay of kLog, at once, to two peer sockets standing for the console.
class Replay : public ReplayUnderTest
{
public:
    Replay()
    {
        m_Dir.Write("Kestrum.txt", kLog);
        Options().m_ReplayFiles = {m_Dir.File("Kestrum.txt")};
        Options().m_nReplyPort = m_Console.Port();
        Options().m_nEoPort = m_EoConsole.Port();
        Options().m_bReplayNow = true;
    }
    ~Replay() { Stop(); }

    TempDir m_Dir;
    UdpPeer m_Console;
    UdpPeer m_EoConsole;
};
} // namespace

// Every received frame goes out as recorded (a bad checksum stays bad, a
// frame held in part stays short, EO frames take the EO link), sent frames
// stay out, and the recorded gaps hold, scaled by the speed.
TEST(SimReplay, FramesGoOutAsRecordedWithTheirTiming)
{
    Replay replay;
    replay.Options().m_dReplaySpeed = 2.0;
    ASSERT_TRUE(replay.Start());
    const auto first = replay.m_Console.ReceiveWithin(10s);
    const Clock::time_point firstAt = Clock::now();
    const auto second = replay.m_Console.ReceiveWithin(10s);
    const auto third = replay.m_Console.ReceiveWithin(10s);
    const Clock::time_point thirdAt = Clock::now();
    const auto eo = replay.m_EoConsole.ReceiveWithin(10s);
    ASSERT_TRUE(first && second && third && eo);
    EXPECT_EQ(*first, (Bytes{0x10, 0x05, 0x00, 0x02, 0x0c, 0x07, 0x2a}));
    EXPECT_EQ(*second, (Bytes{0x10, 0x05, 0x00, 0x02, 0x0c, 0x08, 0x00}));
    EXPECT_FALSE(ChecksumGood(*second));
    EXPECT_EQ(*third, (Bytes{0x10, 0x04, 0x40}));
    EXPECT_EQ(*eo, (Bytes{0x77, 0x07, 0x00, 0x7e}));
    // 1.0 s recorded between the first and the third, at twice the speed.
    EXPECT_GE(thirdAt - firstAt, 450ms);
    EXPECT_TRUE(WaitFor([&] { return replay.Sim().Finished(); }));
    EXPECT_EQ(replay.Sim().FramesSent(), 4u);
    EXPECT_FALSE(replay.m_Console.ReceiveWithin(300ms)) << "the sent command is not played";
}

// Without --replay-now nothing goes out until the console's first frame
// arrives; with --loop the log plays again until stopped.
TEST(SimReplay, WaitsForTheConsoleAndLoopsUntilStopped)
{
    Replay replay;
    replay.Options().m_bReplayNow = false;
    replay.Options().m_bReplayLoop = true;
    replay.Options().m_dReplaySpeed = 10.0;
    ASSERT_TRUE(replay.Start());
    EXPECT_FALSE(replay.m_Console.ReceiveWithin(500ms)) << "played before the console was there";
    replay.m_Console.SendTo(replay.PagesPort(), WithChecksum({0x10, 0x05, 0x00, 0x01, 0x8c}));
    for (int n = 0; n < 7; ++n)
        ASSERT_TRUE(replay.m_Console.ReceiveWithin(10s)) << "frame " << n;
    replay.Stop();
    EXPECT_FALSE(replay.Sim().Finished());
    EXPECT_GE(replay.Sim().FramesSent(), 7u);
}

// A log that cannot be played says why, with its place.
TEST(SimReplay, UnplayableLogsAreRefused)
{
    Replay replay;
    replay.m_Dir.Write("Kestrum.txt", "Time, [Comment], Count, Data\n100:100,Rx Msg,002,0x10,0x5\n200:100,Tx Msg,000\n");
    std::string sError;
    EXPECT_FALSE(replay.Sim().Load(sError));
    EXPECT_EQ(sError, replay.m_Dir.File("Kestrum.txt") + ":2: not a data line: \"0x5\" is neither a byte (0xNN) nor a count");

    replay.m_Dir.Write("Kestrum.txt", "Time, [Comment], Count, Data\n100:100,Tx Msg,001,0x10\n");
    EXPECT_FALSE(replay.Sim().Load(sError));
    EXPECT_NE(sError.find("no received frames"), std::string::npos) << sError;
}
