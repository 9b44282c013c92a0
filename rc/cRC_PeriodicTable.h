#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// The items the remote system is asked to transmit periodically: one 16-byte
// mask per (SubSystem, Index), item k being bit k % 8 of byte k / 8. Filled on
// the user-interface thread and read by the timer thread, which repeats the
// requests; the lock keeps them apart.
class cRC_PeriodicTable
{
public:
    struct Entry
    {
        std::array<uint8_t, 16> mask{};
        uint8_t nSubSystem = 0;
        uint8_t nIndex = 0;
    };

    // Sets the item's bit; false for items 128 to 255, which a mask cannot hold.
    bool Add(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem);
    // In key order. A copy, so that the requests go out without the lock held.
    std::vector<Entry> Entries() const;
    // A copy of one group's entry; false when nothing of it is requested.
    bool Find(uint8_t nSubSystem, uint8_t nIndex, Entry& entry) const;

private:
    mutable std::mutex m_Mutex;  // guards m_PeriodicRequests
    std::map<uint16_t, Entry> m_PeriodicRequests;  // by SubSystem << 8 | Index
};
