#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

// What the video window says about the stream beside the picture, from the
// frames it paints: whether video is present ("NO VIDEO" once no frame came
// for kAbsentAfter; back with the next frame; the debug log says when an
// absence begins and ends, never more), the frame rate and size, and the
// glass-to-glass latency (paint time minus the frame's metadata time stamp,
// both on the system clock) as median and worst over the last second.
// Called on the painter's thread only.
class cVideoMonitor
{
public:
    using SteadyClock = std::chrono::steady_clock;
    using WallClock = std::chrono::system_clock;
    // With the window's 200 ms refresh, "NO VIDEO" shows within a second of the last frame.
    static constexpr std::chrono::milliseconds kAbsentAfter{750};
    static constexpr std::chrono::milliseconds kWindow{1000};
    // A gap beginning sooner than this after the last one ended is part of one
    // unsteady stream: counted, and said once the stream has been steady this long.
    static constexpr std::chrono::seconds kSteadyAfter{10};

    explicit cVideoMonitor(std::string sSource) : m_sSource(std::move(sSource)) {}

    struct Latency
    {
        std::chrono::microseconds median{0};
        std::chrono::microseconds worst{0};
        size_t nSamples = 0;
    };

    // A new frame has come to be painted.
    void OnFrame(int32_t nWidth, int32_t nHeight, SteadyClock::time_point now);
    // It was painted at paintedAt; nKlvTimeUs 0 when it has no time stamp.
    void OnPainted(uint64_t nKlvTimeUs, SteadyClock::time_point now, WallClock::time_point paintedAt);
    // The timer's check: true when presence changed (to be repainted).
    bool Update(SteadyClock::time_point now);

    bool IsPresent() const { return m_bPresent; }
    int32_t Width() const { return m_nWidth; }
    int32_t Height() const { return m_nHeight; }
    double FramesPerSecond(SteadyClock::time_point now);
    Latency LatencyOverLastSecond(SteadyClock::time_point now);
    // The latency of one frame, microseconds; nothing without a time stamp.
    static std::optional<int64_t> LatencyUs(uint64_t nKlvTimeUs, WallClock::time_point paintedAt);

private:
    void Expire(SteadyClock::time_point now);

    const std::string m_sSource;
    bool m_bPresent = false;
    bool m_bAnyFrame = false;
    SteadyClock::time_point m_LastFrame;
    SteadyClock::time_point m_AbsentSince;
    SteadyClock::time_point m_LastReturn;  // when the last gap ended
    bool m_bQuietGap = false;              // the present gap is one of an unsteady stream
    uint32_t m_nQuietGaps = 0;
    double m_dLongestQuietGap = 0.0;
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    std::deque<SteadyClock::time_point> m_FrameTimes;                    // the last second's
    std::deque<std::pair<SteadyClock::time_point, int64_t>> m_Latencies;  // the last second's, microseconds
};
