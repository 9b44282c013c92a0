// The page protocol over a real pseudo-terminal: the simulator opens the
// device end, the test plays the console on the controlling end.
#include "SimTestSupport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

using namespace simtest;

namespace
{
class Pty
{
public:
    Pty()
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
    ~Pty()
    {
        CloseSlave();
        ::close(m_nMaster);
    }
    void CloseSlave()
    {
        if (m_nSlave >= 0)
            ::close(m_nSlave);
        m_nSlave = -1;
    }
    const std::string& Device() const { return m_sDevice; }
    void Write(const Bytes& bytes)
    {
        ASSERT_EQ(::write(m_nMaster, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // The next whole status frame from the stream, cut by its own length field.
    std::optional<Bytes> ReadFrame()
    {
        Bytes frame;
        if (!Read(frame, 1) || !Read(frame, frame[0] == 0x99 ? 6 : 4))
            return std::nullopt;
        const size_t nTotal = frame[0] == 0x99 ? static_cast<size_t>(frame[4] << 8 | frame[5]) : frame[3] + 5u;
        return Read(frame, nTotal) ? std::optional<Bytes>(frame) : std::nullopt;
    }

private:
    bool Read(Bytes& bytes, size_t nUpTo)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
        while (bytes.size() < nUpTo && Clock::now() < deadline)
        {
            pollfd fd{m_nMaster, POLLIN, 0};
            if (poll(&fd, 1, 100) <= 0)
                continue;
            uint8_t buffer[512];
            const ssize_t nRead = ::read(m_nMaster, buffer, std::min(sizeof(buffer), nUpTo - bytes.size()));
            if (nRead > 0)
                bytes.insert(bytes.end(), buffer, buffer + nRead);
        }
        return bytes.size() == nUpTo;
    }

    int m_nMaster = -1;
    int m_nSlave = -1;
    std::string m_sDevice;
};

std::optional<Bytes> ReadStatus(Pty& pty)
{
    for (int i = 0; i < 20; ++i)
    {
        std::optional<Bytes> frame = pty.ReadFrame();
        if (!frame || !(frame->size() >= 3 && (*frame)[0] == 0x99 && (*frame)[1] == 0 && (*frame)[2] == 1))
            return frame;
    }
    return std::nullopt;
}
} // namespace

// Sets, queries, periodic frames and (variant 1) heartbeats arrive as they do
// over UDP, one after the other in the byte stream.
TEST(SimSerial, PageProtocolRunsOverAPseudoTerminal)
{
    for (const int32_t nVariant : {0, 1})
    {
        SCOPED_TRACE(nVariant);
        Pty pty;
        SimWithPeers sim(nVariant);
        sim.Options().m_sSerialDevice = pty.Device();
        ASSERT_TRUE(sim.Start());
        pty.CloseSlave();

        const Bytes set = nVariant == 0 ? WithChecksum({0x10, 0x05, 0x00, 0x03, 0x04, 0xFF, 0xFE})
                                        : WithChecksum({0x99, 0x05, 0x02, 0x00, 0x03, 0x04, 0xFF, 0xFE});
        const Bytes answer = nVariant == 0 ? set : WithChecksum({0x99, 0x05, 0x02, 0x00, 0x00, 0x0A, 0x04, 0xFF, 0xFE});
        pty.Write(set);
        EXPECT_EQ(ReadStatus(pty), answer);

        // Rate 4, as the console asks over serial; the request needs no answer.
        Bytes request = nVariant == 0 ? Bytes{0x10, 0x05, 0x00, 0x13} : Bytes{0x99, 0x05, 0x02, 0x00, 0x13};
        request.insert(request.end(), {0x70, 0x04, 0x71, 0x10});
        request.insert(request.end(), 15, 0x00);
        pty.Write(WithChecksum(request));
        const Bytes periodic = nVariant == 0 ? WithChecksum({0x10, 0x05, 0x40, 0x03, 0x04, 0xFF, 0xFE})
                                             : WithChecksum({0x99, 0x05, 0x02, 0x40, 0x00, 0x0A, 0x04, 0xFF, 0xFE});
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(ReadStatus(pty), periodic);

        if (nVariant == 1)
        {
            bool bHeartbeat = false;
            for (int i = 0; i < 30 && !bHeartbeat; ++i)
            {
                std::optional<Bytes> frame = pty.ReadFrame();
                ASSERT_TRUE(frame);
                bHeartbeat = *frame == WithChecksum({0x99, 0x00, 0x01, 0x00, 0x00, 0x09, 0x03, 0x01});
            }
            EXPECT_TRUE(bHeartbeat);
        }
    }
}
