#include "SimTestSupport.h"

namespace simtest
{
namespace
{
bool IsHeartbeat(const Bytes& frame)
{
    return frame.size() >= 3 && frame[0] == 0x99 && frame[1] == 0 && frame[2] == 1;
}
} // namespace

SimWithPeers::SimWithPeers(int32_t nVariant, const std::string& sPages) : SimUnderTest(nVariant)
{
    m_Dir.Write("pages.xml", sPages);
    Options().m_sPagesFile = m_Dir.File("pages.xml");
    Options().m_nReplyPort = m_Console.Port();
    Options().m_nEoPort = m_EoConsole.Port();
}

// Stopped while its peers and pages are still there.
SimWithPeers::~SimWithPeers()
{
    Stop();
}

std::optional<Bytes> SimWithPeers::ReceiveStatus(std::chrono::milliseconds limit)
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

std::optional<Bytes> SimWithPeers::Exchange(const Bytes& frame)
{
    Send(frame);
    return ReceiveStatus();
}

bool SimWithPeers::WaitForQuiet(std::chrono::milliseconds quiet, int nMostFrames)
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
} // namespace simtest
