#pragma once
#include <array>
#include <bitset>
#include <boost/circular_buffer.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// Figures of how well the link answers, beside the heartbeat's verdict: round
// trips of requests to their status replies, the share left unanswered, gaps
// in the EO report stream, frames received twice and, with the heartbeat on,
// the heartbeats missed each way. It records and reports,
// it decides nothing. Sends come from any thread, replies and reports from
// the receive threads, figures are asked for from the user interface: one
// lock guards everything. Every call takes the time from its caller, so that
// tests can drive it with a clock of their own. Memory is fixed at any rate:
// each record lives in a ring of its own capacity, and under a flood the
// oldest go first, so the figures then cover less than the window.
class cRC_LinkQuality
{
public:
    using Clock = std::chrono::steady_clock;
    using Items = std::bitset<256>;

    // The two connections whose frames are checked for duplicates.
    enum class Link : uint8_t
    {
        kPages = 0,
        kEo = 1,
    };

    static constexpr Clock::duration kWindow = std::chrono::seconds(10);
    // A periodic request is answered by any status frame of its subsystem and index.
    static constexpr uint16_t kAnyItem = 0x100;
    static constexpr size_t kMaxPending = 256;
    static constexpr size_t kMaxOutcomes = 4096;
    static constexpr size_t kMaxEoReports = 2048;  // 10 s of track and tag reports at 100 Hz each
    static constexpr size_t kMaxRecentFrames = 256;
    static constexpr size_t kMaxHeartbeats = 256;  // a remote that beats ten times faster than it must still fits
    // The remote system's heartbeat rate. One counts as missed once none has
    // come for a period and a half, so that jitter alone never misses one.
    static constexpr Clock::duration kHeartbeatPeriod = std::chrono::seconds(1);

    struct Settings
    {
        // A request without a matching reply within this is unanswered.
        Clock::duration replyTimeout = std::chrono::seconds(1);
        // The protocol has no sequence numbers, so a frame byte-identical to
        // one received this recently on the same link counts as a duplicate.
        // The remote system's fastest periodic rate is one frame per group
        // every 100 ms, and a group whose values did not change sends the
        // same bytes each time (as does the heartbeat each second): the window
        // stays well below that period so that such frames are not counted.
        Clock::duration duplicateWindow = std::chrono::milliseconds(20);
        // EO report intervals longer than this are counted.
        Clock::duration eoGapThreshold = std::chrono::seconds(1);
    };

    struct Figures
    {
        // Requests sent within the window whose fate is known: answered, or
        // unanswered once the reply timeout passed.
        uint32_t nAnswered = 0;
        uint32_t nUnanswered = 0;
        Clock::duration medianRoundTrip{};  // both 0 while nothing was answered
        Clock::duration worstRoundTrip{};
        // EO reports: whether one arrived within the window; the longest
        // interval ending in the window (the open one since the last report
        // included) and how many exceeded the threshold.
        bool bEoReports = false;
        Clock::duration longestEoGap{};
        uint32_t nEoGapsOver = 0;
        // Since the start, per link.
        std::array<uint64_t, 2> duplicates{};
        // Heartbeats, once ours are sent (bHeartbeats; without the heartbeat
        // these stay absent). Received: of the remote's 1 s periods due within
        // the window since its first heartbeat, those without one. Sent: of the
        // remote's heartbeats within the window, those reporting ours missed.
        bool bHeartbeats = false;
        uint32_t nHeartbeatsDue = 0;
        uint32_t nHeartbeatsMissed = 0;
        uint32_t nRemoteReports = 0;
        uint32_t nRemoteReportsMissed = 0;

        double UnansweredShare() const
        {
            const uint32_t nDecided = nAnswered + nUnanswered;
            return nDecided == 0 ? 0.0 : static_cast<double>(nUnanswered) / nDecided;
        }
        uint64_t Duplicates() const { return duplicates[0] + duplicates[1]; }
        double HeartbeatsMissedShare() const
        {
            return nHeartbeatsDue == 0 ? 0.0 : static_cast<double>(nHeartbeatsMissed) / nHeartbeatsDue;
        }
        double RemoteMissedShare() const
        {
            return nRemoteReports == 0 ? 0.0 : static_cast<double>(nRemoteReportsMissed) / nRemoteReports;
        }
    };

    cRC_LinkQuality();
    explicit cRC_LinkQuality(const Settings& settings);

    void Configure(const Settings& settings);
    Settings Current() const;

    // A request about to be sent; the ticket withdraws it when the send fails.
    uint64_t RequestSent(uint8_t nSubSystem, uint8_t nIndex, uint16_t nItem, Clock::time_point now);
    void RequestWithdrawn(uint64_t nTicket);
    // A status frame and the items it carries: answers every waiting request
    // it could be the reply to. Without sequence numbers the replies to two
    // requests for the same item cannot be told apart, so the first possible
    // reply counts for each, and round trips are the shortest the link allows.
    void StatusReceived(uint8_t nSubSystem, uint8_t nIndex, const Items& items, Clock::time_point now);
    void EoReportReceived(Clock::time_point now);
    // The EO stream switched off on purpose: the silence that follows is no gap.
    void EoStreamStopped();
    // Every whole frame as it arrives; true when it was a duplicate.
    bool FrameReceived(Link eLink, const uint8_t* pFrame, size_t nLength, Clock::time_point now);
    // Our heartbeat went out: the heartbeat figures exist from now on.
    void HeartbeatSent();
    // The remote system's heartbeat with its missed count and interface
    // state. One within the duplicate window of the last is a copy and is
    // not taken.
    void HeartbeatReceived(uint8_t nRemoteMissed, uint8_t nRemoteState, Clock::time_point now);

    Figures Snapshot(Clock::time_point now);

private:
    struct Pending
    {
        uint64_t nTicket;
        Clock::time_point sent;
        uint16_t nItem;
        uint8_t nSubSystem;
        uint8_t nIndex;
    };
    struct Outcome
    {
        Clock::time_point sent;
        Clock::duration roundTrip;  // negative: unanswered
    };
    struct Heartbeat
    {
        Clock::time_point when;
        bool bReport;         // counts in the remote's share
        bool bReportsMissed;  // and says ours were missed
    };
    struct RecentFrame
    {
        uint64_t nHash;
        size_t nLength;
        Clock::time_point when;
    };

    void ExpirePending(Clock::time_point now);
    void DropOldOutcomes(Clock::time_point now);
    void DropOldReports(Clock::time_point now);
    void DropOldHeartbeats(Clock::time_point now);
    void CountHeartbeats(Figures& figures, Clock::time_point now) const;
    static uint64_t Hash(const uint8_t* pFrame, size_t nLength);

    mutable std::mutex m_Mutex;  // guards everything below
    Settings m_Settings;
    uint64_t m_nNextTicket = 1;
    boost::circular_buffer<Pending> m_Pending{kMaxPending};  // in send order
    boost::circular_buffer<Outcome> m_Outcomes{kMaxOutcomes};
    boost::circular_buffer<Clock::time_point> m_EoReports{kMaxEoReports};
    std::array<boost::circular_buffer<RecentFrame>, 2> m_Recent{boost::circular_buffer<RecentFrame>(kMaxRecentFrames),
                                                               boost::circular_buffer<RecentFrame>(kMaxRecentFrames)};
    std::array<uint64_t, 2> m_nDuplicates{};
    bool m_bHeartbeatsSent = false;
    bool m_bRemoteWasActive = false;  // its reports count from its first "active"
    boost::circular_buffer<Heartbeat> m_Heartbeats{kMaxHeartbeats};
    std::vector<Clock::duration> m_RoundTrips;  // Snapshot's scratch, reserved once
};
