#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// Which periodic groups must be asked for again although the link is up,
// from the 100 ms ticks and the status frames handled. The heartbeat rules
// ask for everything again only when the whole link has been silent, which
// heartbeats arriving prevent, so a request lost on the way would otherwise
// leave its group without data until the link drops. A group with no status
// frame of its SubSystem/Index for max(3 periods of its rate, 1.2 s) is due;
// while it stays silent the wait doubles up to 10 s, and it starts over when
// a frame of the group comes or the group is requested afresh. It says what
// to ask for but sends nothing itself, and logs once when a group falls
// silent and once when it comes back. Requests come from the user-interface
// and timer threads, frames from the receive thread, ticks from the timer
// thread: one lock guards the groups.
class cRC_PeriodicWatch
{
public:
    static constexpr int32_t kTickMs = 100;
    static constexpr int32_t kPeriodsToWait = 3;
    static constexpr int32_t kShortestWaitTicks = 12;  // 1.2 s: the link's own idle rule
    static constexpr int32_t kLongestWaitTicks = 100;  // 10 s

    struct Group
    {
        uint8_t nSubSystem = 0;
        uint8_t nIndex = 0;
    };

    // bIndexCarried false: the status frames carry no index (short frames),
    // so a frame of a subsystem counts for each of its groups.
    explicit cRC_PeriodicWatch(bool bIndexCarried = true) : m_bIndexCarried(bIndexCarried) {}

    // A periodic request at nRate ticks per transmission is going out: the
    // group is watched from now, with the shortest wait. Rate 0 is a stop.
    void Requested(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate);
    // A stopped group is never due until it is requested again.
    void Stopped(uint8_t nSubSystem, uint8_t nIndex);
    // Any status frame, whatever its status byte: the remote system answers for the group.
    void StatusReceived(uint8_t nSubSystem, uint8_t nIndex);
    // One tick: the groups to ask for again now. While the link is down no
    // group grows silent; the heartbeat rules ask for them all when it returns.
    std::vector<Group> Tick(bool bLinkUp);

    bool IsSilent(uint8_t nSubSystem, uint8_t nIndex) const;

private:
    struct State
    {
        int32_t nShortestWait = kShortestWaitTicks;
        int32_t nWait = kShortestWaitTicks;  // ticks without a frame before it is due
        int32_t nSilentTicks = 0;
        bool bSilent = false;  // asked for again and not heard of since: logged once
    };
    static uint16_t Key(uint8_t nSubSystem, uint8_t nIndex) { return static_cast<uint16_t>(nSubSystem << 8 | nIndex); }
    // Under the lock; true when the group had been silent.
    static bool Heard(State& state);

    const bool m_bIndexCarried;
    mutable std::mutex m_Mutex;  // guards m_Groups
    std::map<uint16_t, State> m_Groups;  // by SubSystem << 8 | Index
};
