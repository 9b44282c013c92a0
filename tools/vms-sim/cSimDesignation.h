#pragma once
#include "RC_ItemValue.h"
#include "RC_Variant.h"
#include "cLandingItemList.h"
#include "cSimEoStream.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class cSimEventLog;
class cSimItemStore;
class cSimWorld;

// The track the console designates by a point of the EO picture, as a
// tracker would take it: the object nearest the point within the acquisition
// window (the AOI size, centred on the point) is acquired for a moment and
// then tracked wherever the platform's picture shows it; with nothing there
// the track sits on the point, acquiring, then coasting until it is dropped.
// A tracked object out of the picture coasts at its last position and is
// dropped unless it comes back in time. One track at a time: a new
// designation replaces it, Cancel ends it.
//
// The track's state moves on whenever it is asked for (At, Report), from the
// targets seen at that time, so its timing is only as fine as the askers'
// (the 100 ms tick and the EO period). Designations arrive on the receive
// thread, the askers are the timer thread's; everything is under one lock.
class cSimDesignation
{
public:
    static constexpr uint32_t kFirstTrackId = 100001;    // apart from the targets' own IDs, which grow by 32 a minute when tracks come and go
    static constexpr double kAcquireSeconds = 0.3;       // on an object, before it is tracked
    static constexpr double kSearchSeconds = 0.5;        // on nothing, before it coasts
    static constexpr double kDropSeconds = 2.0;          // coasting, or on nothing, before it is dropped
    static constexpr double kPointSizeX = 16.0;          // the box of a track on nothing
    static constexpr double kPointSizeY = 12.0;
    static constexpr uint8_t kAcquire = 0;
    static constexpr uint8_t kTrack = 1;
    static constexpr uint8_t kCoast = 2;

    struct Track
    {
        uint32_t nId = 0;
        int32_t nObject = -1;  // the target's index (cSimEoStream::Target::nIndex); -1 on the point
        uint8_t nStatus = kAcquire;
        cSimEoStream::Target record{};  // as the track report carries it
    };

    // fnSeconds: the simulator's time since start, for designations that
    // arrive through the items.
    cSimDesignation(RC_Variant eVariant, const cSimWorld& world, cSimEventLog& log,
                    std::function<double()> fnSeconds);

    // Before start: the point's two U16 items (added when the pages lack
    // them) take designations, X first, the point designated as Y arrives;
    // the variant's AOI size items give the window.
    void Install(cSimItemStore& items, const cLandingItemList::Address& x, const cLandingItemList::Address& y);

    // Any thread: designates the point of the EO picture at dSeconds.
    void Designate(double dX, double dY, double dSeconds);
    void Cancel(const char* szWhy);

    // Any thread: the track at dSeconds, from the targets seen then (as
    // cSimWorld::SeenAt gives them); none when there is none or it was dropped.
    std::optional<Track> At(double dSeconds, const std::vector<cSimEoStream::Target>& seen);
    std::optional<Track> At(double dSeconds);
    // Any thread: the track report's targets at dSeconds: the designated
    // track first, its object's own track left out (one box per object).
    std::vector<cSimEoStream::Target> Report(const std::vector<cSimEoStream::Target>& seen, double dSeconds);

private:
    struct State
    {
        bool bActive = false;
        Track track;
        double dStart = 0.0;       // when it was designated
        double dLostSince = -1.0;  // when its object went out of sight; < 0 while in sight
        double dPointX = 0.0;
        double dPointY = 0.0;
    };

    // Under m_Mutex: moves the track on to dSeconds; the event to log when it drops.
    void Advance(double dSeconds, const std::vector<cSimEoStream::Target>& seen, std::string& sDropped);

    const RC_Variant m_eVariant;
    const cSimWorld& m_World;
    cSimEventLog& m_Log;
    const std::function<double()> m_fnSeconds;
    const RC_U16Value* m_pAoiX = nullptr;  // set before start
    const RC_U16Value* m_pAoiY = nullptr;

    std::mutex m_Mutex;  // guards the rest: the receive thread designates, the timer thread asks
    State m_State;
    uint32_t m_nNextId = kFirstTrackId;
    uint16_t m_nPendingX = 0;  // the X item's last value, waiting for Y
};
