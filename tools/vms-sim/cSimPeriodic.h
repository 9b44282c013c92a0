#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// The periodic groups the console asked for, one per SubSystem/Index: a rate
// (item 0x70) and a 16-byte item mask (item 0x71). Rate R sends the group
// every R ticks of 100 ms; rate 0 forgets the group. Requests arrive on the
// receive thread, ticks on the timer thread.
class cSimPeriodic
{
public:
    static constexpr int32_t kTickMs = 100;
    using Mask = std::array<uint8_t, 16>;

    struct Group
    {
        uint8_t nSubSystem = 0;
        uint8_t nIndex = 0;
        uint8_t nRate = 0;
        Mask mask{};
    };

    static bool HasItem(const Mask& mask, uint8_t nItem) { return nItem < 128 && (mask[nItem / 8] >> (nItem % 8)) & 1; }
    static int32_t ItemCount(const Mask& mask);

    // Each returns true when it changed what is sent.
    bool SetRate(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate);
    bool SetMask(uint8_t nSubSystem, uint8_t nIndex, const Mask& mask);
    bool Find(uint8_t nSubSystem, uint8_t nIndex, Group& group) const;

    // One tick: the groups due now, in SubSystem/Index order. A group that
    // started or changed its rate is due at the next tick.
    std::vector<Group> Tick();
    size_t ActiveCount() const;

private:
    struct State
    {
        Group group;
        int32_t nCountdown = 0;
    };
    static bool Active(const Group& group) { return group.nRate != 0 && ItemCount(group.mask) != 0; }

    mutable std::mutex m_Mutex;  // guards m_Groups
    std::map<uint16_t, State> m_Groups;
};
