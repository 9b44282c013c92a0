// A stop signal at any moment of the console's start-up ends it as File, Exit
// does: exit status 0 and the debug log written. Tried as a new user would:
// with the page definitions file missing, so that an error box is open while
// the main window is still being built.
#include "ConsoleSettings.h"
#include "UiTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace
{
class Console
{
public:
    Console()
    {
        const std::string sSettings = ConsoleSettings()
                                          .Udp(m_Peer.Port(), FreeUdpPort())
                                          .Main("sPageDefinitionsFile", m_Dir.File("missing.xml"))
                                          .Write(m_Dir);
        m_pProcess = ui_test::StartConsole(m_Dir, sSettings, true);  // stop signals held back
    }
    ChildProcess& Process() { return *m_pProcess; }
    std::string DebugLog() const { return m_Dir.Read("CorvaneDebugLog.txt"); }

private:
    TempDir m_Dir;
    UdpPeer m_Peer;
    std::unique_ptr<ChildProcess> m_pProcess;
};
} // namespace

// The error box is open (its log line has been written): SIGTERM, then SIGINT,
// close it and shut the console down in order, with the log on disk.
TEST(StartupSignal, StopWhileTheStartUpErrorBoxIsOpen)
{
    for (const int nSignal : {SIGTERM, SIGINT})
    {
        Console console;
        ASSERT_TRUE(console.Process().Started());
        ASSERT_NE(console.Process().UpTo("Error opening page definition file"), "") << console.Process().Output();
        console.Process().Signal(nSignal);
        EXPECT_EQ(console.Process().Wait(), 0) << console.Process().Output();
        const std::string sLog = console.DebugLog();
        EXPECT_NE(sLog.find("Error opening page definition file"), std::string::npos) << sLog;
        EXPECT_NE(sLog.find(nSignal == SIGTERM ? "Stop signal received (SIGTERM), shutting down"
                                               : "Stop signal received (SIGINT), shutting down"),
                  std::string::npos)
            << sLog;
    }
}

// At any moment from the very start: every delay ends in the same orderly way.
TEST(StartupSignal, StopAtAnyMomentOfStartUp)
{
    for (const auto delay : {0ms, 5ms, 20ms, 50ms, 100ms, 200ms, 400ms, 800ms})
    {
        Console console;
        ASSERT_TRUE(console.Process().Started());
        std::this_thread::sleep_for(delay);
        console.Process().Signal(SIGTERM);
        EXPECT_EQ(console.Process().Wait(), 0) << "after " << delay.count() << " ms\n" << console.Process().Output();
        EXPECT_NE(console.DebugLog().find("Stop signal received (SIGTERM)"), std::string::npos)
            << "after " << delay.count() << " ms";
    }
}
