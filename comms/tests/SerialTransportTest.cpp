#include "FrameCollector.h"
#include "LogCapture.h"
#include "WaitFor.h"
#include "cMultiCommsIF.h"
#include "cSerialIF.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes kStatus = {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x45};

// A pseudo-terminal pair: the transport opens the device end, the test talks
// through the controlling end.
class PtyPair
{
public:
    PtyPair()
    {
        char szName[256] = {};
        if (openpty(&m_nMaster, &m_nSlave, szName, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        m_sDevice = szName;
        termios raw{};
        tcgetattr(m_nMaster, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_nMaster, TCSANOW, &raw);
    }
    ~PtyPair()
    {
        CloseMaster();
        if (m_nSlave >= 0)
            ::close(m_nSlave);
    }
    // The transport opens its own handle; ours on the device end is not needed.
    void CloseSlave()
    {
        ::close(m_nSlave);
        m_nSlave = -1;
    }
    void CloseMaster()
    {
        if (m_nMaster >= 0)
            ::close(m_nMaster);
        m_nMaster = -1;
    }
    void Write(const Bytes& bytes) { ASSERT_EQ(::write(m_nMaster, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
    // Reads exactly n bytes, waiting up to 10 s in all.
    Bytes Read(size_t n)
    {
        Bytes bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (bytes.size() < n && std::chrono::steady_clock::now() < deadline)
        {
            pollfd fd{m_nMaster, POLLIN, 0};
            if (poll(&fd, 1, 100) <= 0)
                continue;
            uint8_t buffer[512];
            const ssize_t nRead = ::read(m_nMaster, buffer, std::min(sizeof(buffer), n - bytes.size()));
            if (nRead > 0)
                bytes.insert(bytes.end(), buffer, buffer + nRead);
        }
        return bytes;
    }
    const std::string& Device() const { return m_sDevice; }

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    std::string m_sDevice;
};

size_t ThreadCount()
{
    size_t nThreads = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        nThreads += entry.is_directory() ? 1 : 0;
    return nThreads;
}

SerialPortCfg Settings(const std::string& sDevice, int32_t nReadTimeout = 0)
{
    SerialPortCfg settings;
    settings.nPortEnabled = 1;
    settings.nBaudRate = 115200;
    settings.nReadTimeout = nReadTimeout;
    settings.sDevice = sDevice;
    return settings;
}
} // namespace

// Byte-by-byte reception (read timeout 0) and reads of up to 256 bytes both
// deliver the frames whole; a 300-byte message goes out counted and logged.
TEST(SerialTransport, ReceivesFramesInBothReadModesAndWritesLongMessages)
{
    for (const int32_t nReadTimeout : {0, 50})
    {
        PtyPair pty;
        cSerialIF serial("RC");
        FrameCollector collector;
        ASSERT_TRUE(serial.Initialise(Settings(pty.Device(), nReadTimeout), true, false));
        pty.CloseSlave();
        EXPECT_EQ(serial.ChunkSize(), nReadTimeout == 0 ? 1u : 256u);
        ASSERT_TRUE(collector.setCommsIF(&serial));
        ASSERT_TRUE(collector.initialise(1000));

        Bytes stream = kStatus;
        stream.insert(stream.end(), {0xEE, 0xEE});
        stream.insert(stream.end(), kStatus.begin(), kStatus.end());
        pty.Write(stream);
        ASSERT_TRUE(collector.WaitForFrames(2));
        EXPECT_EQ(collector.Frames(), (std::vector<Bytes>{kStatus, kStatus}));
        EXPECT_TRUE(serial.ReceivedAnything());

        Bytes longMessage(300);
        for (size_t i = 0; i < longMessage.size(); ++i)
            longMessage[i] = static_cast<uint8_t>(i);
        EXPECT_EQ(serial.messageSend(longMessage.data(), 300), 0);
        EXPECT_EQ(pty.Read(300), longMessage);
        EXPECT_EQ(serial.SentCount(), 1u);
        EXPECT_EQ(serial.lastSent(nullptr, 0), 0);
        EXPECT_EQ(serial.messageSend(kStatus.data(), 8), 0);
        EXPECT_EQ(pty.Read(8), kStatus);
        uint8_t last[255];
        EXPECT_EQ(serial.lastSent(last, sizeof(last)), 8);
        EXPECT_TRUE(serial.purgeRxTx());
        // Stop the receive thread before the collector it delivers to goes.
        serial.Terminate();
        collector.clearCommsIF();
    }
}

// The far end going away under a pending read ends reception with a report on
// the status signal; the port is then closed cleanly.
TEST(SerialTransport, FarEndClosingIsReportedThroughStatusSignal)
{
    LogCapture log;
    PtyPair pty;
    cSerialIF serial("RC");
    std::mutex mutex;
    std::vector<std::string> reports;
    serial.m_sigStatus.connect([&](long long, int, const char* szText) {
        std::lock_guard<std::mutex> lock(mutex);
        reports.emplace_back(szText);
    });
    ASSERT_TRUE(serial.Initialise(Settings(pty.Device()), true, false));
    pty.CloseSlave();
    pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !reports.empty();
    }));
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_NE(reports[0].find("cSerialIF::handle_receive() received error"), std::string::npos) << reports[0];
    }
    serial.Terminate();
    EXPECT_FALSE(serial.isOpen());
    EXPECT_TRUE(log.Contains("cSerialIF::Terminate (144): Stopped after"));
}

// Terminate joins the service thread: over many open, receive and terminate
// cycles no thread is left behind and nothing is polled for.
TEST(SerialTransport, TerminateLeavesNoServiceThreadBehind)
{
    LogCapture log;
    PtyPair pty;
    pty.CloseSlave();
    size_t nThreads = 0;  // after the first cycle: a sanitizer runtime may add its own thread then
    cSerialIF serial("RC");
    FrameCollector collector;
    constexpr int kCycles = 20;
    for (int nCycle = 0; nCycle < kCycles; ++nCycle)
    {
        ASSERT_TRUE(serial.Initialise(Settings(pty.Device()), true, false));
        ASSERT_TRUE(collector.setCommsIF(&serial));
        ASSERT_TRUE(collector.initialise(1000));
        pty.Write(kStatus);
        ASSERT_TRUE(collector.WaitForFrames(static_cast<size_t>(nCycle) + 1));
        EXPECT_TRUE(serial.ServiceRunning());
        collector.clearCommsIF();
        serial.Terminate();
        EXPECT_FALSE(serial.ServiceRunning());
        if (nCycle == 0)
            nThreads = ThreadCount();
        EXPECT_EQ(ThreadCount(), nThreads) << "cycle " << nCycle;
    }
    EXPECT_EQ(log.Count("cSerialIF::Terminate (144): Stopped after 0 waits"), kCycles);
    EXPECT_EQ(log.Count("cSerialIF::execute (615): Completed"), kCycles);
}

// The transport can be initialised again on the same object.
TEST(SerialTransport, SecondInitialiseReceivesAgain)
{
    PtyPair pty;
    cSerialIF serial("RC");
    FrameCollector collector;
    ASSERT_TRUE(serial.Initialise(Settings(pty.Device()), true, false));
    ASSERT_TRUE(serial.Initialise(Settings(pty.Device()), true, false));
    pty.CloseSlave();
    ASSERT_TRUE(collector.setCommsIF(&serial));
    ASSERT_TRUE(collector.initialise(1000));
    pty.Write(kStatus);
    ASSERT_TRUE(collector.WaitForFrames(1));
    serial.Terminate();
    collector.clearCommsIF();
}

TEST(SerialTransport, SelectionFailuresAreLogged)
{
    LogCapture log;
    cMultiCommsIF factory("Kestrum");

    SerialPortCfg disabled = Settings("/dev/null");
    disabled.nPortEnabled = 0;
    EXPECT_FALSE(factory.InitSerial(disabled));
    EXPECT_TRUE(log.Contains("(Kestrum) port not enabled", DBG_WRN));
    EXPECT_TRUE(log.Contains("cMultiCommsIF::InitSerial (81): Serial Initialise failed", DBG_ERR));

    EXPECT_FALSE(factory.InitSerial(Settings("/dev/kestrum-no-such-port")));
    EXPECT_TRUE(log.Contains("m_pPort->open(/dev/kestrum-no-such-port) failed with error", DBG_ERR));

    // Linux has no one-and-a-half stop bits: the port set-up fails with its line.
    PtyPair pty;
    SerialPortCfg oneAndHalf = Settings(pty.Device());
    oneAndHalf.nStopBits = 1;
    EXPECT_FALSE(factory.InitSerial(oneAndHalf));
    EXPECT_TRUE(log.Contains("cSerialIF::setupSerialPort (455): m_pPort->set_option(" + pty.Device() + ") failed", DBG_ERR));
    EXPECT_EQ(factory.GetCurrent(), nullptr);

    SerialPortCfg byNumber;
    byNumber.nPortNumber = 3;
    EXPECT_EQ(byNumber.DevicePath(), "/dev/ttyS2");

    EXPECT_TRUE(factory.InitSerial(Settings(pty.Device())));
    EXPECT_NE(factory.GetCurrent(), nullptr);
    factory.Release();
    EXPECT_EQ(factory.GetCurrent(), nullptr);
}
