#include "cSimulator.h"

#include "cStopSignalMask.h"

#include "cSimEventLog.h"
#include "cSimProtocol.h"
#include "cSimTransport.h"
#include "cSimVideo.h"

#include <boost/asio/post.hpp>
#include <cinttypes>

namespace
{
constexpr auto kTick = std::chrono::milliseconds(cSimPeriodic::kTickMs);
constexpr uint32_t kTicksPerHeartbeat = 10;

cSimTransport::Framing CommandFraming(RC_Variant eVariant)
{
    // The console's commands carry a one-byte payload length in both variants.
    return eVariant == RC_Variant::ShortFrames
               ? cSimTransport::Framing{0x10, MsgDescriptor::kOneByteLength, 3, 5}
               : cSimTransport::Framing{0x99, MsgDescriptor::kOneByteLength, 4, 6};
}
} // namespace

cSimulator::cSimulator(const cSimOptions& options, cSimEventLog& log)
    : m_Options(options), m_Log(log), m_Landing(options.Variant(), log), m_Faults(cSimFaults::From(options)),
      m_EoStream(options.m_nEoFormat, options.m_nEoTargets, options.m_nEoTags, options.m_bEoLifecycle,
                 options.m_dEoCycleFormats),
      m_World(m_EoStream, m_Landing, options.m_nPictureWidth, options.m_nPictureHeight, options.m_nVideoWidth,
              options.m_nVideoHeight),
      m_Designation(options.Variant(), m_World, log, [this] { return Seconds(); })
{
    m_pProtocol = std::make_unique<cSimProtocol>(m_Options.Variant(), m_Items, m_Periodic, m_Heartbeat, m_Faults,
                                                 m_Log, [this](std::vector<uint8_t>& frame) { return Send(frame); });
    m_pProtocol->SetEoSwitch([this](bool bOn) { SwitchEo(bOn); });
    m_pProtocol->SetPeriodicObserver([this](const cSimPeriodic::Group& group) { OnPeriodicChanged(group); });
    m_LinkWatch.SetExpected(m_Options.Variant() == RC_Variant::LongFrames ? RC_DatagramKind::Long
                                                                          : RC_DatagramKind::Short);
}

cSimulator::~cSimulator()
{
    Stop();
}

bool cSimulator::Start(std::string& sError)
{
    if (m_bStarted)
        return true;
    if (!m_Items.Load(m_Options.m_sPagesFile, m_Options.Variant(), sError))
        return false;
    // The landing dialogs' items are served whatever the pages define, and so
    // are the items the console designates a point with.
    m_Landing.Install(m_Items, &m_Designation);
    const auto address = [this](int32_t nItem) {
        return cLandingItemList::Address{static_cast<uint8_t>(m_Options.m_nDesignateSubSystem),
                                         static_cast<uint8_t>(m_Options.m_nDesignateIndex),
                                         static_cast<uint8_t>(nItem)};
    };
    m_Designation.Install(m_Items, address(m_Options.m_nDesignateItemX), address(m_Options.m_nDesignateItemY));
    for (uint32_t nKey : m_Items.Conflicts())
        m_Log.Event("item %u/%u/%u defined again with another type: the first definition stands", nKey >> 16,
                    (nKey >> 8) & 0xFF, nKey & 0xFF);

    m_Start = std::chrono::steady_clock::now();
    m_Items.Advance(0.0);
    m_Landing.Advance(0.0);
    auto fnHandler = [this](const uint8_t* pFrame, int32_t nLength, bool bGood) {
        m_pProtocol->HandleFrame(pFrame, nLength, bGood);
    };
    m_pPages = std::make_unique<cSimTransport>("vms-sim", CommandFraming(m_Options.Variant()), fnHandler);
    m_pPages->Impair(m_Options.m_ImpairTx, m_Options.m_ImpairRx, m_Options.m_nSeed, cSimFaults::kPages);
    const bool bSerial = !m_Options.m_sSerialDevice.empty();
    const bool bPagesOpen = bSerial ? m_pPages->OpenSerial(m_Options.m_sSerialDevice, m_Options.m_nBaudRate)
                                    : m_pPages->OpenUdp(m_Options.m_sBindAddress, m_Options.m_nPort,
                                                        m_Options.m_sAddress, m_Options.m_nReplyPort);
    if (!bPagesOpen)
    {
        sError = bSerial ? "cannot open serial device " + m_Options.m_sSerialDevice
                         : "cannot open UDP port " + std::to_string(m_Options.m_nPort) + " on " +
                               m_Options.m_sBindAddress;
        m_pPages.reset();
        return false;
    }
    // The EO link only sends; the console's empty datagram shows where its receiver is.
    m_pEo = std::make_unique<cSimTransport>("vms-sim EO", cSimTransport::Framing{}, nullptr);
    m_pEo->Impair(m_Options.m_ImpairTx, m_Options.m_ImpairRx, m_Options.m_nSeed, cSimFaults::kEo);
    if (!m_pEo->OpenUdp(m_Options.m_sBindAddress, m_Options.m_nEoListenPort, m_Options.m_sAddress,
                        m_Options.m_nEoPort))
    {
        sError = "cannot open UDP port " + std::to_string(m_Options.m_nEoListenPort) + " on " +
                 m_Options.m_sBindAddress;
        m_pEo.reset();
        m_pPages.reset();
        return false;
    }

    std::string sVideo;
    if (m_Options.VideoOn())
    {
        m_pVideo = std::make_unique<cSimVideo>(m_Options, m_World, m_Start, m_Log);
        std::string sVideoError;
        if (m_pVideo->Start(sVideoError))
            sVideo = ", video " + m_pVideo->Describe();
        else
        {
            // The links work on without the picture.
            m_Log.Event("%s; running without video", sVideoError.c_str());
            m_pVideo.reset();
        }
    }

    m_bStopping = false;
    m_bStarted = true;
    m_nTicks = 0;
    m_Io.restart();
    ScheduleTick();
    ScheduleEo();
    m_TimerThread = std::thread([this] { m_Io.run(); });

    if (bSerial)
        m_Log.Event("vms-sim ready: variant %d, %zu items from %s, pages on %s at %d bit/s, EO %s:%u -> %s:%d%s",
                    m_Options.m_nVariant, m_Items.Count(), m_Options.m_sPagesFile.c_str(),
                    m_Options.m_sSerialDevice.c_str(), m_Options.m_nBaudRate, m_Options.m_sBindAddress.c_str(),
                    EoPort(), m_Options.m_sAddress.c_str(), m_Options.m_nEoPort, sVideo.c_str());
    else
        m_Log.Event("vms-sim ready: variant %d, %zu items from %s, pages %s:%u -> %s:%d, EO %s:%u -> %s:%d%s",
                    m_Options.m_nVariant, m_Items.Count(), m_Options.m_sPagesFile.c_str(),
                    m_Options.m_sBindAddress.c_str(), PagesPort(), m_Options.m_sAddress.c_str(),
                    m_Options.m_nReplyPort, m_Options.m_sBindAddress.c_str(), EoPort(), m_Options.m_sAddress.c_str(),
                    m_Options.m_nEoPort, sVideo.c_str());
    if (m_Options.m_bEoOn)
        SwitchEo(true);
    return true;
}

void cSimulator::Stop()
{
    if (!m_bStarted)
        return;
    m_bStopping = true;
    std::string sVideo;
    if (m_pVideo)
    {
        m_pVideo->Stop();
        sVideo = ", " + std::to_string(m_pVideo->Frames()) + " video frames in " +
                 std::to_string(m_pVideo->DatagramsSent()) + " datagrams";
    }
    boost::asio::post(m_Io, [this] {
        m_TickTimer.cancel();
        m_EoTimer.cancel();
    });
    if (m_TimerThread.joinable())
        m_TimerThread.join();
    {
        std::lock_guard<std::mutex> lock(m_FloodMutex);
        if (m_FloodThread.joinable())
            m_FloodThread.join();
    }
    // Receive threads end inside close; no frame is handled after it.
    m_pPages->close();
    m_pEo->close();
    m_bStarted = false;
    m_Log.Event("vms-sim stopped: %u page protocol frames and %u EO frames sent%s", m_pPages->FramesSent(),
                m_pEo->FramesSent(), sVideo.c_str());
}

uint16_t cSimulator::PagesPort() const
{
    return m_pPages ? m_pPages->LocalPort() : 0;
}

uint16_t cSimulator::EoPort() const
{
    return m_pEo ? m_pEo->LocalPort() : 0;
}

uint32_t cSimulator::FramesSent() const
{
    return m_pPages ? m_pPages->FramesSent() : 0;
}

uint32_t cSimulator::EoFramesSent() const
{
    return m_pEo ? m_pEo->FramesSent() : 0;
}

double cSimulator::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Start).count();
}

bool cSimulator::Send(std::vector<uint8_t>& frame)
{
    return m_Faults.Finish(cSimFaults::kPages, frame, Seconds()) && m_pPages->Send(frame);
}

void cSimulator::SwitchEo(bool bOn)
{
    if (bOn == m_EoStream.Enabled())
        return;
    m_EoStream.SetEnabled(bOn);
    if (bOn)
        m_Log.Event("EO stream on: format %d, %d targets, %d tags, every %d ms%s%s", m_EoStream.Format(),
                    m_EoStream.Targets(), m_EoStream.Tags(), m_Options.m_nEoPeriodMs,
                    m_Options.m_bEoLifecycle ? ", tracks come and go" : "",
                    m_Options.m_dEoCycleFormats > 0.0 ? ", formats cycle" : "");
    else
        m_Log.Event("EO stream off");
}

void cSimulator::OnPeriodicChanged(const cSimPeriodic::Group& group)
{
    if (m_Options.m_nFlood == 0 || m_bFloodStarted.exchange(true))
        return;
    std::lock_guard<std::mutex> lock(m_FloodMutex);
    if (m_bStopping)
        return;
    const uint32_t nFrames = static_cast<uint32_t>(m_Options.m_nFlood);
    const double dRate = m_Options.m_dFloodRate;
    m_FloodThread = std::thread([this, group, nFrames, dRate] {
        cStopSignalMask::KeepStopsFromThisThread();  // started on a request, after the stops were set apart
        FloodGroup(group, nFrames, dRate);
    });
}

uint32_t cSimulator::Flood(uint8_t nSubSystem, uint8_t nIndex, uint32_t nFrames, double dRate)
{
    cSimPeriodic::Group group;
    if (!m_Periodic.Find(nSubSystem, nIndex, group) || cSimPeriodic::ItemCount(group.mask) == 0)
    {
        group = cSimPeriodic::Group{nSubSystem, nIndex, 0, {}};
        for (int nItem = 0; nItem < 128; ++nItem)
            if (m_Items.Contains(cSimItemStore::Key(nSubSystem, nIndex, static_cast<uint8_t>(nItem))))
                group.mask[nItem / 8] |= static_cast<uint8_t>(1u << (nItem % 8));
    }
    return FloodGroup(group, nFrames, dRate);
}

uint32_t cSimulator::FloodGroup(const cSimPeriodic::Group& group, uint32_t nFrames, double dRate)
{
    using Clock = std::chrono::steady_clock;
    uint32_t nSent = 0;
    const Clock::time_point start = Clock::now();
    for (uint32_t i = 0; i < nFrames && !m_bStopping; ++i)
    {
        if (dRate > 0.0)
            std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>(i / dRate)));
        nSent += m_pProtocol->SendGroup(group);
    }
    const double dTaken = std::chrono::duration<double>(Clock::now() - start).count();
    m_Log.Event("flood %u/%u: %u frames in %.3f s (%.0f frames/s)", group.nSubSystem, group.nIndex, nSent, dTaken,
                dTaken > 0.0 ? nSent / dTaken : 0.0);
    return nSent;
}

void cSimulator::ScheduleTick()
{
    m_TickTimer.expires_at(m_Start + kTick * (m_nTicks + 1));
    m_TickTimer.async_wait([this](const boost::system::error_code& ec) {
        if (ec || m_bStopping)
            return;
        Tick();
        ++m_nTicks;
        ScheduleTick();
    });
}

void cSimulator::WatchLink()
{
    std::array<uint64_t, RC_kDatagramKinds> samples{};
    const cRC_MismatchMonitor::Counts counts = m_pPages->LinkCounts(samples);
    const cRC_MismatchMonitor::Report report = m_LinkWatch.Update(counts, std::chrono::steady_clock::now());
    if (report.bMismatchEnds)
        m_Log.Event(report.bMismatchEndsByFrames ? "good frames arrive: no longer receiving %s"
                                                 : "no longer receiving %s",
                    RC_DatagramKindText(report.eEnded));
    if (report.bMismatchBegins)
        m_Log.Event("%s", DescribeMismatch(report.eBegun, samples[static_cast<size_t>(report.eBegun)]).c_str());
    if (report.bRefusalBegins)
    {
        m_sRefusedAt = m_pPages->RefusedDestination();
        m_Log.Event("no console at %s: nothing there takes the replies", m_sRefusedAt.c_str());
    }
    if (report.bRefusalEnds)
        m_Log.Event(report.bRefusalEndsByFrames ? "console at %s answers" : "replies to %s are taken again",
                    m_sRefusedAt.c_str());
}

std::string cSimulator::DescribeMismatch(RC_DatagramKind eKind, uint64_t nSample) const
{
    const std::string sSeen = cRC_MismatchMonitor::SeenText(eKind, nSample);
    if (eKind == RC_DatagramKind::Eo)
        return "receiving " + sSeen + " on the page port; EO reports belong on the console's EO port";
    const bool bLong = m_Options.Variant() == RC_Variant::LongFrames;
    return "receiving " + sSeen + "; this simulator is set to variant " + std::to_string(m_Options.m_nVariant) +
           " (--variant, else nControllerType of its settings file): " + (bLong ? "long frames" : "short frames");
}

void cSimulator::Tick()
{
    const double dSeconds = Seconds();
    m_Items.Advance(dSeconds);
    m_Landing.Advance(dSeconds);
    WatchLink();

    const bool bSilent = m_Faults.Silent(dSeconds);
    if (bSilent && !m_bWasSilent)
        m_Log.Event("silence begins (%.1f s)", m_Faults.Get().silence.dFor);
    else if (!bSilent && m_bWasSilent)
        m_Log.Event("silence ends");
    m_bWasSilent = bSilent;

    for (const cSimPeriodic::Group& group : m_Periodic.Tick())
        m_pProtocol->SendGroup(group);

    if (!m_Options.HeartbeatOn() || m_nTicks % kTicksPerHeartbeat != 0)
        return;
    const cSimHeartbeat::Beat beat = m_Heartbeat.Next(std::chrono::steady_clock::now());
    if (beat.bStateChanged && beat.nState == cSimHeartbeat::kActive)
        m_Log.Event("interface active: console heartbeats arrive");
    else if (beat.bStateChanged)
        m_Log.Event("interface inactive: %u console heartbeat periods missed", beat.nMissed);
    const bool bHeld = m_Faults.HeartbeatHeld(dSeconds);
    if (bHeld && !m_bWasHeld)
        m_Log.Event("heartbeats held back (%.1f s)", m_Faults.Get().noHeartbeat.dFor);
    else if (!bHeld && m_bWasHeld)
        m_Log.Event("heartbeats resume");
    m_bWasHeld = bHeld;
    if (!bHeld)
        m_pProtocol->SendHeartbeat(beat.nMissed, beat.nState);
}

void cSimulator::ScheduleEo()
{
    m_EoTimer.expires_after(std::chrono::milliseconds(m_Options.m_nEoPeriodMs));
    m_EoTimer.async_wait([this](const boost::system::error_code& ec) {
        if (ec || m_bStopping)
            return;
        SendEo();
        ScheduleEo();
    });
}

void cSimulator::SendEo()
{
    if (!m_EoStream.Enabled())
        return;
    const double dSeconds = Seconds();
    const uint64_t nTimestamp = static_cast<uint64_t>(dSeconds * 1e6);
    // The targets where they are at the very time the report carries.
    const double dAt = static_cast<double>(nTimestamp) / 1e6;
    for (uint8_t nIdentifier : {cSimEoStream::kTrackReport, cSimEoStream::kTagReport})
    {
        if (nIdentifier == cSimEoStream::kTagReport && m_EoStream.Tags() == 0)
            continue;
        std::vector<cSimEoStream::Target> targets = m_World.SeenAt(nIdentifier, dAt).targets;
        if (nIdentifier == cSimEoStream::kTrackReport)
            targets = m_Designation.Report(targets, dAt);
        std::vector<uint8_t> frame = m_EoStream.BuildFrame(nIdentifier, nTimestamp, targets);
        if (m_Faults.Finish(cSimFaults::kEo, frame, dSeconds))
            m_pEo->Send(frame);
    }
}
