#pragma once
#include "RC_Variant.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

class cSimDesignation;
class cSimEventLog;
class cSimItemStore;

// The items the console's landing dialog shows, kept as a tracker and a
// platform would keep them rather than as free-running patterns:
//  - the target goes invalid, valid and coasting in a fixed cycle, and moves
//    only while valid; a designated track (cSimDesignation) takes its place
//    while there is one;
//  - the VMS tracking status follows the system mode (Track: tracking, or
//    coasting while the target is not valid; otherwise acquiring), or the
//    designated track's status; the Thimbrel's tracking mode is what the
//    console sets;
//  - the VMS system mode takes only the modes the VMS has; Standby and
//    Manual cancel the designated track;
//  - a deck position set is a demand: the platform slews towards it at a
//    limited rate, and the position (and rate, where defined) says where it is;
//  - a camera's zoom speed moves its zoom position until the stop arrives.
// Sets arrive on the receive thread, the 100 ms ticks on the timer thread.
class cSimLanding
{
public:
    static constexpr double kSlewDegreesPerSecond = 20.0;
    static constexpr double kTargetCycleSeconds = 12.0;  // 3 s invalid, 6 s valid, 3 s coasting
    static constexpr double kZoomPerSecond = 20000.0;    // zoom position units at full speed
    static constexpr int kCameras = 4;

    cSimLanding(RC_Variant eVariant, cSimEventLog& log);

    // Before start: adds the variant's landing items (and the VMS cameras'
    // zoom items) that the pages lack, and takes over the ones it keeps. The
    // target items follow pDesignation's track while it has one.
    void Install(cSimItemStore& items, cSimDesignation* pDesignation = nullptr);
    // Timer thread: everything it keeps, at dSeconds after start.
    void Advance(double dSeconds);

    static uint8_t TargetModeAt(double dSeconds);
    static bool IsSystemMode(uint8_t nMode);

    // Where the platform points and how far the first camera has zoomed.
    struct Pointing
    {
        double dAzDeg = 0.0;
        double dElDeg = 0.0;
        double dZoom = 0.0;  // 0 (wide) to 1 (the zoom position's end)
    };
    // Any thread: the pointing at dSeconds after start, carried on from the
    // last tick as the slew and the zoom go, so that a picture drawn between
    // ticks moves smoothly rather than in 100 ms steps.
    Pointing PointingAt(double dSeconds) const;
    // Where the platform points before the console moves it: the deck
    // positions and the zoom positions start at zero.
    static Pointing Home() { return Pointing{}; }

private:
    void InstallPlatform(cSimItemStore& items);
    void InstallCameras(cSimItemStore& items);
    void AdvanceTarget(double dSeconds);
    // False when no track is designated: the cycle goes on.
    bool FollowDesignation(double dSeconds);
    void AdvancePlatform(double dStep);
    void AdvanceCameras(double dStep);

    const RC_Variant m_eVariant;
    cSimEventLog& m_Log;
    cSimItemStore* m_pItems = nullptr;
    cSimDesignation* m_pDesignation = nullptr;
    // Written by the receive thread's sets, read by the ticks.
    std::array<std::atomic<int32_t>, 2> m_DeckDemand{};  // Az, El: Fixed milliradians
    std::array<std::atomic<int16_t>, kCameras> m_ZoomSpeed{};
    // Timer thread only.
    double m_dLastSeconds = 0.0;
    std::array<double, kCameras> m_Zoom{};  // the zoom positions, in fractions

    // Written by the timer thread at each tick, read by any.
    mutable std::mutex m_PointingMutex;
    double m_dPointingSeconds = 0.0;
    Pointing m_Pointing;  // at m_dPointingSeconds
};
