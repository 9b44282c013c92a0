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

class Replay
{
public:
    explicit Replay(const std::function<void(cSimOptions&)>& adjust = {})
    {
        m_Dir.Write("Kestrum.txt", kLog);
        m_Options.m_ReplayFiles = {m_Dir.File("Kestrum.txt")};
        m_Options.m_sBindAddress = "127.0.0.1";
        m_Options.m_nPort = 0;
        m_Options.m_nReplyPort = m_Console.Port();
        m_Options.m_nEoListenPort = 0;
        m_Options.m_nEoPort = m_EoConsole.Port();
        m_Options.m_bReplayNow = true;
        if (adjust)
            adjust(m_Options);
        m_pReplay = std::make_unique<cSimReplay>(m_Options, m_Log);
    }

    TempDir m_Dir;
    cSimOptions m_Options;
    cSimEventLog m_Log{true};
    UdpPeer m_Console;
    UdpPeer m_EoConsole;
    std::unique_ptr<cSimReplay> m_pReplay;
};
} // namespace

// Every received frame goes out as recorded (a bad checksum stays bad, a
// frame held in part stays short, EO frames take the EO link), sent frames
// stay out, and the recorded gaps hold, scaled by the speed.
TEST(SimReplay, FramesGoOutAsRecordedWithTheirTiming)
{
    Replay replay([](cSimOptions& options) { options.m_dReplaySpeed = 2.0; });
    std::string sError;
    ASSERT_TRUE(replay.m_pReplay->Start(sError)) << sError;
    const auto first = replay.m_Console.Receive();
    const Clock::time_point firstAt = Clock::now();
    const auto second = replay.m_Console.Receive();
    const auto third = replay.m_Console.Receive();
    const Clock::time_point thirdAt = Clock::now();
    const auto eo = replay.m_EoConsole.Receive();
    ASSERT_TRUE(first && second && third && eo);
    EXPECT_EQ(*first, (Bytes{0x10, 0x05, 0x00, 0x02, 0x0c, 0x07, 0x2a}));
    EXPECT_EQ(*second, (Bytes{0x10, 0x05, 0x00, 0x02, 0x0c, 0x08, 0x00}));
    EXPECT_FALSE(ChecksumGood(*second));
    EXPECT_EQ(*third, (Bytes{0x10, 0x04, 0x40}));
    EXPECT_EQ(*eo, (Bytes{0x77, 0x07, 0x00, 0x7e}));
    // 1.0 s recorded between the first and the third, at twice the speed.
    EXPECT_GE(thirdAt - firstAt, 450ms);
    EXPECT_TRUE(WaitFor([&] { return replay.m_pReplay->Finished(); }));
    EXPECT_EQ(replay.m_pReplay->FramesSent(), 4u);
    EXPECT_FALSE(replay.m_Console.Receive(300ms)) << "the sent command is not played";
}

// Without --replay-now nothing goes out until the console's first frame
// arrives; with --loop the log plays again until stopped.
TEST(SimReplay, WaitsForTheConsoleAndLoopsUntilStopped)
{
    Replay replay([](cSimOptions& options) {
        options.m_bReplayNow = false;
        options.m_bReplayLoop = true;
        options.m_dReplaySpeed = 10.0;
    });
    std::string sError;
    ASSERT_TRUE(replay.m_pReplay->Start(sError)) << sError;
    EXPECT_FALSE(replay.m_Console.Receive(500ms)) << "played before the console was there";
    replay.m_Console.SendTo(replay.m_pReplay->PagesPort(), WithChecksum({0x10, 0x05, 0x00, 0x01, 0x8c}));
    for (int n = 0; n < 7; ++n)
        ASSERT_TRUE(replay.m_Console.Receive()) << "frame " << n;
    replay.m_pReplay->Stop();
    EXPECT_FALSE(replay.m_pReplay->Finished());
    EXPECT_GE(replay.m_pReplay->FramesSent(), 7u);
}

// A log that cannot be played says why, with its place.
TEST(SimReplay, UnplayableLogsAreRefused)
{
    Replay replay;
    replay.m_Dir.Write("Kestrum.txt", "Time, [Comment], Count, Data\n100:100,Rx Msg,002,0x10,0x5\n200:100,Tx Msg,000\n");
    std::string sError;
    EXPECT_FALSE(replay.m_pReplay->Load(sError));
    EXPECT_EQ(sError, replay.m_Dir.File("Kestrum.txt") + ":2: not a data line: \"0x5\" is neither a byte (0xNN) nor a count");

    replay.m_Dir.Write("Kestrum.txt", "Time, [Comment], Count, Data\n100:100,Tx Msg,001,0x10\n");
    EXPECT_FALSE(replay.m_pReplay->Load(sError));
    EXPECT_NE(sError.find("no received frames"), std::string::npos) << sError;
}
