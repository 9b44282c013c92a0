#include "SimTestSupport.h"

#include <poll.h>

namespace simtest
{
namespace
{
bool IsHeartbeat(const Bytes& frame)
{
    return frame.size() >= 3 && frame[0] == 0x99 && frame[1] == 0 && frame[2] == 1;
}
} // namespace

UdpPeer::UdpPeer()
    : m_Socket(m_Io, boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0))
{
}

void UdpPeer::SendTo(uint16_t nPort, const Bytes& bytes)
{
    m_Socket.send_to(boost::asio::buffer(bytes),
                     boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), nPort));
}

std::optional<Bytes> UdpPeer::Receive(std::chrono::milliseconds limit)
{
    // Asio's blocking receive waits on past SO_RCVTIMEO, so wait here instead.
    pollfd fd{m_Socket.native_handle(), POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(limit.count() > 0 ? limit.count() : 0)) <= 0)
        return std::nullopt;
    Bytes buffer(9000);
    boost::system::error_code ec;
    const size_t nBytes = m_Socket.receive(boost::asio::buffer(buffer), 0, ec);
    if (ec)
        return std::nullopt;
    buffer.resize(nBytes);
    return buffer;
}

SimUnderTest::SimUnderTest(int32_t nVariant, const std::string& sPages)
{
    m_Dir.Write("pages.xml", sPages);
    m_Options.m_nVariant = nVariant;
    m_Options.m_sPagesFile = m_Dir.File("pages.xml");
    m_Options.m_sBindAddress = "127.0.0.1";
    m_Options.m_nPort = 0;
    m_Options.m_nReplyPort = m_Console.Port();
    m_Options.m_nEoListenPort = 0;
    m_Options.m_nEoPort = m_EoConsole.Port();
    m_Log.SetObserver([this](const std::string& sEvent) {
        std::lock_guard<std::mutex> lock(m_EventMutex);
        m_Events.push_back(sEvent);
    });
}

SimUnderTest::~SimUnderTest()
{
    m_pSim.reset();
    m_Log.SetObserver(nullptr);
}

bool SimUnderTest::Start()
{
    m_pSim = std::make_unique<cSimulator>(m_Options, m_Log);
    std::string sError;
    return m_pSim->Start(sError);
}

std::optional<Bytes> SimUnderTest::ReceiveStatus(std::chrono::milliseconds limit)
{
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;)
    {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0)
            return std::nullopt;
        std::optional<Bytes> frame = Receive(remaining);
        if (!frame || !IsHeartbeat(*frame))
            return frame;
    }
}

std::optional<Bytes> SimUnderTest::Exchange(const Bytes& frame)
{
    Send(frame);
    return ReceiveStatus();
}

bool SimUnderTest::WaitForQuiet(std::chrono::milliseconds quiet, int nMostFrames)
{
    int nFrames = 0;
    Clock::time_point deadline = Clock::now() + quiet;
    for (;;)
    {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0)
            return true;
        std::optional<Bytes> frame = Receive(remaining);
        if (!frame)
            return true;
        if (IsHeartbeat(*frame))
            continue;
        if (++nFrames > nMostFrames)
            return false;
        deadline = Clock::now() + quiet;
    }
}

std::vector<std::string> SimUnderTest::Events()
{
    std::lock_guard<std::mutex> lock(m_EventMutex);
    return m_Events;
}
} // namespace simtest
