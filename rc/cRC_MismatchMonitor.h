#pragma once
#include "RC_DatagramKind.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

// Turns a link's running counts into two lasting conditions, each reported
// once when it begins and once when it ends, however many datagrams cause it:
// - a mismatch: datagrams keep arriving that hold no frame (frames of a kind
//   this end is not set for, text, junk) and no good frame comes. It begins
//   at the third such datagram of one kind with no more than kQuiet between
//   them and no good frame among them or in the kGoodFrameHold before, and
//   ends when a good frame comes or that kind stops for kQuiet.
// - a refusal: the far end refuses our datagrams (nothing listens there). It
//   begins at the first refusal, and ends when a good frame comes or a send
//   goes kAnswerWait without one.
// Decides only: no I/O, no clock of its own, one caller (the owner's tick).
class cRC_MismatchMonitor
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr uint32_t kDatagramsToBegin = 3;
    static constexpr Clock::duration kQuiet = std::chrono::seconds(5);
    // A link that works now and then (a heartbeat a second) is no mismatch.
    static constexpr Clock::duration kGoodFrameHold = std::chrono::seconds(2);
    // A refusal comes back within a round trip, but the kernel of a host on
    // the network refuses about once a second however often we send: a send
    // this long unrefused reached someone.
    static constexpr Clock::duration kAnswerWait = std::chrono::seconds(3);

    // Running totals since the transport started; one that goes down means a
    // new transport and counts again from its new value.
    struct Counts
    {
        std::array<uint32_t, RC_kDatagramKinds> nUnframed{};  // by RC_DatagramKind
        uint32_t nGoodFrames = 0;
        uint32_t nRefusals = 0;
        uint32_t nSent = 0;
    };

    // What one update changed. A mismatch of one kind can end and one of
    // another begin in the same update.
    struct Report
    {
        bool bMismatchEnds = false;
        bool bMismatchEndsByFrames = false;  // else the datagrams stopped
        RC_DatagramKind eEnded = RC_DatagramKind::Other;
        bool bMismatchBegins = false;
        RC_DatagramKind eBegun = RC_DatagramKind::Other;
        bool bRefusalBegins = false;
        bool bRefusalEnds = false;
        bool bRefusalEndsByFrames = false;  // else a send went unrefused
    };

    // Kinds this end is set for never make a mismatch: a broken frame of the
    // right kind is the framer's to count, not a wrong setting.
    void SetExpected(RC_DatagramKind eKind);

    Report Update(const Counts& counts, Clock::time_point now);

    // What was seen, in words, from a kind and the first bytes of one such
    // datagram (first byte lowest): "short frames (0x10)", "text (\"PING\")",
    // "datagrams that are not frames (first byte 0x00)".
    static std::string SeenText(RC_DatagramKind eKind, uint64_t nSample);

    bool InMismatch() const { return m_bMismatch; }
    RC_DatagramKind MismatchKind() const { return m_eMismatch; }
    bool Refused() const { return m_bRefused; }

private:
    static uint32_t Delta(uint32_t nNow, uint32_t nBefore) { return nNow >= nBefore ? nNow - nBefore : nNow; }
    void UpdateMismatch(const Counts& counts, bool bGoodFrames, Clock::time_point now, Report& report);
    void UpdateRefusal(const Counts& counts, bool bGoodFrames, Clock::time_point now, Report& report);

    struct Run
    {
        uint32_t nDatagrams = 0;
        Clock::time_point last;
    };

    std::array<bool, RC_kDatagramKinds> m_bExpected{};
    Counts m_Last;
    std::array<Run, RC_kDatagramKinds> m_Runs{};
    bool m_bAnyGoodFrame = false;
    Clock::time_point m_LastGoodFrame;
    bool m_bMismatch = false;
    RC_DatagramKind m_eMismatch = RC_DatagramKind::Other;
    bool m_bRefused = false;
    bool m_bSentSinceRefusal = false;
    Clock::time_point m_FirstSendSinceRefusal;
};
