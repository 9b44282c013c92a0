#pragma once
#include <cstdint>

// When tracks come and go: each target lives part of every minute. It
// appears at its own moment, is acquired for its first seconds, tracked,
// coasts for a few seconds in mid-life (as if hidden), is tracked again and
// disappears. Each life gets a fresh track ID, so the console sees a new
// track, not the old one back. A function of time alone, like the motion.
class cSimTrackLife
{
public:
    static constexpr double kPeriod = 60.0;     // seconds
    static constexpr double kAcquiring = 3.0;   // seconds at the start of a life
    static constexpr double kCoasting = 4.0;    // seconds in mid-life
    static constexpr uint32_t kIdStride = 32;   // ID = index + 1 + 32 x life number

    static constexpr uint8_t kAcquire = 0;
    static constexpr uint8_t kTrack = 1;
    static constexpr uint8_t kCoast = 2;

    struct State
    {
        bool bPresent;
        uint32_t nId;
        uint8_t nStatus;
        double dAge;  // seconds since this life began
    };

    // dSeconds from 0 (the simulator's start) on.
    static State At(int32_t nIndex, double dSeconds);
    // How long target nIndex lives in each minute, and when its life starts.
    static double Lifespan(int32_t nIndex);
    static double Start(int32_t nIndex);
};
