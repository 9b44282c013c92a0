// The console's page protocol when its peer goes away: the simulator killed
// and started again on the same ports, the simulator silent for longer than
// three heartbeat periods, and a serial device that disappears.
#include "ChildProcess.h"
#include "LogCapture.h"
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"

#include <csignal>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
// Item 3 ramps at the simulator (one step every 100 ms): a value that keeps moving.
const char* const kPages = R"(<PageDefinitions><Page Title="Live">
  <Item SubSystem="4" Index="1" Item="3" Access="RO" Label="Ramp" Type="U32"/>
</Page></PageDefinitions>)";

// The console side: a page protocol with its page list, as the main window makes it.
class Console
{
public:
    Console(RC_Variant eVariant, const std::string& sPagesFile)
    {
        EXPECT_EQ(cPageDefinitionsReader(eVariant).Read(sPagesFile, m_List), cPageDefinitionsReader::Result::kRead);
        m_pPages = std::make_unique<cRC_IO_Pages>(eVariant);
    }
    bool Start(const CommsSettings& settings)
    {
        if (!m_pPages->initialise(settings, "Kestrum"))
            return false;
        m_pPages->m_pPageDefinitions = &m_List;
        m_pPages->RegisterItems();
        m_pPages->m_bUseHeartbeat = m_pPages->ControllerType() == RC_Variant::LongFrames;
        return true;
    }
    cRC_IO_Pages& Pages() { return *m_pPages; }
    RC_ItemValue& Ramp() { return *m_List.Items(0).at(0).pValue; }
    // A fresh value arrives and the one after it differs: values flow.
    bool ValuesFlow()
    {
        Ramp().ClearValid();
        if (!WaitFor([&] { return Ramp().IsValid(); }, 10s))
            return false;
        const RC_ItemValue& ramp = Ramp();
        const uint32_t nFirst = static_cast<const RC_U32Value&>(ramp).Get();
        return WaitFor([&] { return static_cast<const RC_U32Value&>(Ramp()).Get() != nFirst; }, 10s);
    }

private:
    cPageList m_List;
    std::unique_ptr<cRC_IO_Pages> m_pPages;
};

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
} // namespace

// vms-sim killed outright and started again a few seconds later on the same
// ports: the console sees the heartbeats stop (link lost, with its warning),
// finds the new simulator by itself (link active again, periodic requests
// sent again) and values flow as before. The console is never restarted.
TEST(LinkFaults, PeerRestartMidStreamIsSurvived)
{
    LogCapture log;
    TempDir dir;
    dir.Write("pages.xml", kPages);
    const uint16_t nConsolePort = FreeUdpPort();
    const std::string sSim = TestPaths::BinDir() + "/vms-sim";
    auto simArgs = [&](uint16_t nPort) {
        return std::vector<std::string>{"--variant", "1", "--pages", dir.File("pages.xml"), "--bind", "127.0.0.1",
                                        "--port", std::to_string(nPort), "--reply-port", std::to_string(nConsolePort),
                                        "--eo-listen-port", "0", "--eo-port", std::to_string(FreeUdpPort())};
    };
    ChildProcess::Options inDir;
    inDir.sWorkDir = dir.Path();
    inDir.OwnHome(dir.Path());
    auto sim = std::make_unique<ChildProcess>(sSim, simArgs(0), inDir);
    const std::string sReady = sim->UpTo("vms-sim ready");
    const size_t nAt = sReady.find("pages 127.0.0.1:");
    ASSERT_NE(nAt, std::string::npos) << sReady;
    const uint16_t nSimPort = static_cast<uint16_t>(std::stoi(sReady.substr(nAt + 16)));

    Console console(RC_Variant::LongFrames, dir.File("pages.xml"));
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = nSimPort;
    settings.nRxPort = nConsolePort;
    ASSERT_TRUE(console.Start(settings));
    cRC_IO_Pages& pages = console.Pages();
    ASSERT_TRUE(WaitFor([&] { return pages.GetLinkStatusText() == "Active - 0"; }, 15s)) << pages.GetLinkStatusText();
    ASSERT_TRUE(console.ValuesFlow());

    sim->Signal(SIGKILL);
    EXPECT_EQ(sim->Wait(), -1);  // killed, not exited
    ASSERT_TRUE(WaitFor([&] { return pages.GetLinkStatusText() == "Inactive - 3"; }, 10s)) << pages.GetLinkStatusText();
    EXPECT_FALSE(pages.m_bLinkActive);
    EXPECT_EQ(log.Count("Now missed 3 HB messages from the VMS, setting link inactive", DBG_WRN), 1);

    sim = std::make_unique<ChildProcess>(sSim, simArgs(nSimPort), inDir);
    ASSERT_NE(sim->UpTo("vms-sim ready"), "") << sim->Output();
    ASSERT_TRUE(WaitFor([&] { return pages.GetLinkStatusText() == "Active - 0"; }, 15s)) << pages.GetLinkStatusText();
    EXPECT_TRUE(pages.m_bLinkActive);
    EXPECT_TRUE(console.ValuesFlow());
    EXPECT_EQ(log.Count("HB interface state is now active, resending periodic requests", DBG_INF), 2) << log.Dump();
    EXPECT_EQ(log.Count("Now missed 3 HB messages from the VMS, setting link inactive", DBG_WRN), 1);
    EXPECT_NE(sim->UpTo("interface active: console heartbeats arrive"), "");
}

// The simulator sends nothing at all for five seconds (longer than three
// heartbeat periods) and then carries on: with the heartbeat the link goes
// inactive once and comes back; without it the console asks again every
// 1.2 s and picks up the values when they return.
TEST(LinkFaults, SilentPeerReturns)
{
    for (const int32_t nVariant : {1, 0})
    {
        LogCapture log;
        TempDir dir;
        dir.Write("pages.xml", kPages);
        SimUnderTest sim(nVariant, dir.File("pages.xml"));
        sim.Options().m_dSilenceAfter = 3.0;
        sim.Options().m_dSilenceFor = 5.0;
        ASSERT_TRUE(sim.Start());

        Console console(sim.Options().Variant(), dir.File("pages.xml"));
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = sim.PagesPort();
        settings.nRxPort = sim.ConsolePort();
        ASSERT_TRUE(console.Start(settings));
        cRC_IO_Pages& pages = console.Pages();
        ASSERT_TRUE(console.ValuesFlow()) << "variant " << nVariant;

        ASSERT_TRUE(WaitFor([&] { return !pages.m_bLinkActive; }, 10s)) << "variant " << nVariant;
        EXPECT_GE(sim.Sim().Seconds(), 3.0);
        ASSERT_TRUE(WaitFor([&] { return pages.m_bLinkActive.load(); }, 15s)) << "variant " << nVariant;
        EXPECT_GE(sim.Sim().Seconds(), 8.0);
        EXPECT_TRUE(console.ValuesFlow()) << "variant " << nVariant;
        if (nVariant == 1)
        {
            EXPECT_EQ(pages.GetLinkStatusText(), "Active - 0");
            EXPECT_EQ(log.Count("Now missed 3 HB messages from the VMS, setting link inactive", DBG_WRN), 1);
            EXPECT_EQ(log.Count("HB interface state is now active, resending periodic requests", DBG_INF), 2);
        }
        sim.Stop();
    }
}

namespace
{
// A pseudo-terminal standing in for a serial device, reached through a link
// that can be pointed at a new one, as a device node comes back.
class SerialDevice
{
public:
    explicit SerialDevice(const std::string& sLink)
    {
        char szName[256] = {};
        if (openpty(&m_nMaster, &m_nSlave, szName, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        termios raw{};
        tcgetattr(m_nMaster, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_nMaster, TCSANOW, &raw);
        std::filesystem::remove(sLink);
        std::filesystem::create_symlink(szName, sLink);
    }
    ~SerialDevice()
    {
        Unplug();
        if (m_nSlave >= 0)
            ::close(m_nSlave);
    }
    // Our handle on the device end is not needed once the transport has its own.
    void ReleaseDeviceEnd()
    {
        ::close(m_nSlave);
        m_nSlave = -1;
    }
    void Unplug()
    {
        if (m_nMaster >= 0)
            ::close(m_nMaster);
        m_nMaster = -1;
    }
    void Write(const std::vector<uint8_t>& bytes) const
    {
        ASSERT_EQ(::write(m_nMaster, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
};

std::vector<uint8_t> RampFrame(uint32_t nValue)
{
    RC_Payload payload;
    payload.AddU32(3, nValue);
    RC_Frame frame;
    frame.BuildStatus(RC_Variant::ShortFrames, 4, 0, 0, payload.Data(), payload.Size());
    return {frame.Data(), frame.Data() + frame.Size()};
}
} // namespace

// The device under a running serial transport disappears: one error line says
// so, nothing spins, the page protocol closes cleanly, and once a device is
// back at the same path the same object opens it and receives again.
TEST(LinkFaults, SerialDeviceDisappearsAndComesBack)
{
    LogCapture log(DBG_INF);
    TempDir dir;
    dir.Write("pages.xml", kPages);
    const std::string sLink = dir.File("ttyVMS");
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kSerial;
    settings.bEnablePort = true;
    settings.sSerialDevice = sLink;
    Console console(RC_Variant::ShortFrames, dir.File("pages.xml"));
    cRC_IO_Pages& pages = console.Pages();
    {
        SerialDevice device(sLink);
        ASSERT_TRUE(console.Start(settings));
        device.ReleaseDeviceEnd();
        device.Write(RampFrame(7));
        ASSERT_TRUE(WaitFor([&] { return console.Ramp().IsValid(); }));

        device.Unplug();
        ASSERT_TRUE(WaitFor([&] { return log.Contains("cRC_IO::OnTransportStatus", DBG_ERR); })) << log.Dump();
        EXPECT_TRUE(log.Contains("(cRC_IO_Pages) cSerialIF::handle_receive() received error", DBG_ERR)) << log.Dump();

        // Two seconds with the device gone (the timer still sends into it):
        // far less than one core's worth of CPU.
        const double dCpuBefore = CpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(2s);
        const double dWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        EXPECT_LT(CpuSeconds() - dCpuBefore, 0.25 * dWall);

        const auto closeStart = std::chrono::steady_clock::now();
        pages.close();
        EXPECT_LT(std::chrono::steady_clock::now() - closeStart, 3s);
        EXPECT_FALSE(pages.HasTransport());
        EXPECT_TRUE(log.Contains("cSerialIF::Terminate (144): Stopped after"));
    }
    SerialDevice device(sLink);
    console.Ramp().ClearValid();
    ASSERT_TRUE(pages.initialise(settings, "Kestrum"));
    device.ReleaseDeviceEnd();
    device.Write(RampFrame(8));
    ASSERT_TRUE(WaitFor([&] { return console.Ramp().IsValid(); }));
    EXPECT_EQ(static_cast<const RC_U32Value&>(console.Ramp()).Get(), 8u);
}
