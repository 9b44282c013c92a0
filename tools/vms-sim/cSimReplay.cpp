#include "cSimReplay.h"

#include "RC_FrameSync.h"
#include "cSimEventLog.h"
#include "cSimFaults.h"
#include "cPcapReader.h"
#include "cTrafficLogReader.h"

#include <algorithm>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr size_t kWarningsShown = 10;
// A loop pass never follows the last one sooner than this: a log of one frame
// does not become a flood.
constexpr double kLeastLoopGapSeconds = 0.1;

Clock::duration Seconds(double dSeconds)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dSeconds));
}
} // namespace

cSimReplay::cSimReplay(const cSimOptions& options, cSimEventLog& log) : m_Options(options), m_Log(log)
{
}

cSimReplay::~cSimReplay()
{
    Stop();
}

bool cSimReplay::Load(std::string& sError)
{
    m_Frames.clear();
    size_t nWarnings = 0;
    for (const std::string& sFile : m_Options.m_ReplayFiles)
    {
        if (cPcapReader::IsPcapFile(sFile))
        {
            if (!LoadCapture(sFile, nWarnings, sError))
                return false;
            continue;
        }
        cTrafficLogReader reader;
        if (!reader.Read(sFile))
        {
            sError = reader.Error();
            return false;
        }
        const std::vector<cTrafficLogReader::Record> received = reader.Received();
        if (received.empty())
        {
            sError = sFile + ": no received frames (\"Rx\" lines); was the log recorded with bLogRx?";
            return false;
        }
        for (const std::string& sWarning : reader.Warnings())
        {
            if (nWarnings++ < kWarningsShown)
                m_Log.Event("replay: %s", sWarning.c_str());
        }
        for (const cTrafficLogReader::Record& record : received)
            m_Frames.push_back(Frame{record.dSeconds, record.bytes, !record.bytes.empty() && record.bytes[0] == RC_EoSync});
    }
    if (nWarnings > kWarningsShown)
        m_Log.Event("replay: %zu more lines recorded in part", nWarnings - kWarningsShown);
    // Logs of one console's transports share their zero, so merging by time
    // interleaves them as they happened; equal times keep the files' order.
    std::stable_sort(m_Frames.begin(), m_Frames.end(),
                     [](const Frame& a, const Frame& b) { return a.dSeconds < b.dSeconds; });
    return true;
}

bool cSimReplay::LoadCapture(const std::string& sFile, size_t& nWarnings, std::string& sError)
{
    cPcapReader reader;
    if (!reader.Read(sFile))
    {
        sError = reader.Error();
        return false;
    }
    for (const std::string& sWarning : reader.Warnings())
    {
        if (nWarnings++ < kWarningsShown)
            m_Log.Event("replay: %s", sWarning.c_str());
    }
    // The ports say which link a datagram travelled and which way: what went
    // to the console's ports is played, what it sent is not.
    size_t nPlayed = 0;
    size_t nConsoleSent = 0;
    size_t nOther = 0;
    for (const PcapDatagram& datagram : reader.Datagrams())
    {
        const int32_t nDst = datagram.nDstPort;
        if (nDst == m_Options.m_nReplyPort || nDst == m_Options.m_nEoPort)
        {
            m_Frames.push_back(Frame{datagram.dSeconds, datagram.bytes, nDst == m_Options.m_nEoPort});
            ++nPlayed;
        }
        else if (nDst == m_Options.m_nPort || nDst == m_Options.m_nEoListenPort)
            ++nConsoleSent;
        else
            ++nOther;
    }
    if (nPlayed == 0)
    {
        sError = sFile + ": no datagrams to the console's ports (page " + std::to_string(m_Options.m_nReplyPort) +
                 ", EO " + std::to_string(m_Options.m_nEoPort) + ") among its " +
                 std::to_string(reader.Datagrams().size()) + " UDP datagrams; give the ports of the recording with --settings";
        return false;
    }
    if (nOther > 0)
        m_Log.Event("replay: %s: %zu datagrams on other ports left out", sFile.c_str(), nOther);
    m_Log.Event("replay: %s: %zu datagrams to the console, %zu from it (not played)", sFile.c_str(), nPlayed, nConsoleSent);
    return true;
}

bool cSimReplay::Start(std::string& sError)
{
    if (m_Thread.joinable())
        return true;
    if (m_Frames.empty() && !Load(sError))
        return false;

    // The console's frames are cut by the kind of frame the log holds.
    const auto firstPage = std::find_if(m_Frames.begin(), m_Frames.end(),
                                        [](const Frame& frame) { return !frame.bEo && !frame.bytes.empty(); });
    const bool bLong = firstPage != m_Frames.end() && firstPage->bytes[0] == RC_LongSync;
    const cSimTransport::Framing framing =
        bLong ? cSimTransport::Framing{RC_LongSync, MsgDescriptor::kOneByteLength, 4, 6}
              : cSimTransport::Framing{RC_ShortSync, MsgDescriptor::kOneByteLength, 3, 5};
    m_pPages = std::make_unique<cSimTransport>("vms-sim replay", framing,
                                               [this](const uint8_t*, int32_t, bool) { OnConsoleFrame(); });
    m_pPages->Impair(m_Options.m_ImpairTx, m_Options.m_ImpairRx, m_Options.m_nSeed, cSimFaults::kPages);
    const bool bSerial = !m_Options.m_sSerialDevice.empty();
    if (!(bSerial ? m_pPages->OpenSerial(m_Options.m_sSerialDevice, m_Options.m_nBaudRate)
                  : m_pPages->OpenUdp(m_Options.m_sBindAddress, m_Options.m_nPort, m_Options.m_sAddress,
                                      m_Options.m_nReplyPort)))
    {
        sError = bSerial ? "cannot open serial device " + m_Options.m_sSerialDevice
                         : "cannot open UDP port " + std::to_string(m_Options.m_nPort) + " on " + m_Options.m_sBindAddress;
        m_pPages.reset();
        return false;
    }
    const size_t nEo = static_cast<size_t>(std::count_if(m_Frames.begin(), m_Frames.end(), [](const Frame& f) { return f.bEo; }));
    if (nEo > 0)
    {
        m_pEo = std::make_unique<cSimTransport>("vms-sim replay EO", cSimTransport::Framing{}, nullptr);
        m_pEo->Impair(m_Options.m_ImpairTx, m_Options.m_ImpairRx, m_Options.m_nSeed, cSimFaults::kEo);
        if (!m_pEo->OpenUdp(m_Options.m_sBindAddress, m_Options.m_nEoListenPort, m_Options.m_sAddress,
                            m_Options.m_nEoPort))
        {
            sError = "cannot open UDP port " + std::to_string(m_Options.m_nEoListenPort) + " on " + m_Options.m_sBindAddress;
            m_pEo.reset();
            m_pPages->close();
            m_pPages.reset();
            return false;
        }
    }

    const double dSpan = m_Frames.back().dSeconds - m_Frames.front().dSeconds;
    if (bSerial)
        m_Log.Event("vms-sim replay ready: %zu frames (%zu EO) over %.3f s at speed %g, on %s", m_Frames.size(), nEo,
                    dSpan, m_Options.m_dReplaySpeed, m_Options.m_sSerialDevice.c_str());
    else
        m_Log.Event("vms-sim replay ready: %zu frames (%zu EO) over %.3f s at speed %g, pages %s:%u -> %s:%d",
                    m_Frames.size(), nEo, dSpan, m_Options.m_dReplaySpeed, m_Options.m_sBindAddress.c_str(),
                    PagesPort(), m_Options.m_sAddress.c_str(), m_Options.m_nReplyPort);
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bStopping = false;
    }
    m_bFinished = false;
    m_Thread = std::thread([this] { Run(); });
    return true;
}

void cSimReplay::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bStopping = true;
    }
    m_Wake.notify_all();
    if (m_Thread.joinable())
        m_Thread.join();
    // The receive threads end here, before this object can go.
    if (m_pPages)
        m_pPages->close();
    if (m_pEo)
        m_pEo->close();
}

uint16_t cSimReplay::PagesPort() const
{
    return m_pPages ? m_pPages->LocalPort() : 0;
}

uint16_t cSimReplay::EoPort() const
{
    return m_pEo ? m_pEo->LocalPort() : 0;
}

void cSimReplay::OnConsoleFrame()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_bConsoleSeen)
            return;
        m_bConsoleSeen = true;
    }
    m_Wake.notify_all();
}

bool cSimReplay::WaitUntil(Clock::time_point when)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    return !m_Wake.wait_until(lock, when, [this] { return m_bStopping; });
}

void cSimReplay::Run()
{
    if (!m_Options.m_bReplayNow)
    {
        m_Log.Event("replay waits for the console's first frame");
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Wake.wait(lock, [this] { return m_bStopping || m_bConsoleSeen; });
        if (m_bStopping)
            return;
    }
    const double dSpeed = m_Options.m_dReplaySpeed;
    const double dFirst = m_Frames.front().dSeconds;
    const double dSpan = m_Frames.back().dSeconds - dFirst;
    const double dLoopGap =
        std::max(m_Frames.size() > 1 ? dSpan / static_cast<double>(m_Frames.size() - 1) : 0.0, kLeastLoopGapSeconds);
    Clock::time_point passStart = Clock::now();
    for (uint32_t nPass = 1;; ++nPass)
    {
        m_Log.Event("replay pass %u starts", nPass);
        for (const Frame& frame : m_Frames)
        {
            if (!WaitUntil(passStart + Seconds((frame.dSeconds - dFirst) / dSpeed)))
                return;
            cSimTransport* pLink = frame.bEo && m_pEo ? m_pEo.get() : m_pPages.get();
            if (pLink->Send(frame.bytes))
                ++m_nFramesSent;
        }
        if (!m_Options.m_bReplayLoop)
            break;
        passStart += Seconds((dSpan + dLoopGap) / dSpeed);
    }
    m_Log.Event("replay finished: %u of %zu frames sent", m_nFramesSent.load(), m_Frames.size());
    m_bFinished = true;
    if (m_fnFinished)
        m_fnFinished();
}
