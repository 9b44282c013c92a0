#pragma once
#include "RC_DataType.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

class RC_ItemValue;

// Takes the values of plotted items as they arrive. The page protocol calls
// OnSubsystemUpdated on its receive thread after it has decoded a status frame;
// each plotted item of that subsystem whose holder has received a value is
// read and queued with the time. The plot window drains the queue on its own
// thread. Holders are read, never cleared: the page dialogs keep their
// new-value flags to themselves. The queue is bounded, so a window that stops
// draining costs no more than that.
class cPlotSampler
{
public:
    using Clock = std::chrono::steady_clock;

    struct Pending
    {
        uint32_t nSeries = 0;
        double dTime = 0.0;
        double dValue = 0.0;
    };

    static constexpr size_t kMostPending = 100000;

    // Numbers only: String and U128 cannot be plotted.
    static bool IsPlottable(RC_DataType eType);
    // The holder's value as a number; false for a type that has none.
    static bool NumericValue(const RC_ItemValue& value, double& dValue);
    // Seconds on the clock every plot shares.
    static double Now();
    static double ToSeconds(Clock::time_point when);

    // pValue belongs to the page list, which outlives every plot.
    void Add(uint32_t nSeries, uint8_t nSubSystem, const RC_ItemValue* pValue);
    void Remove(uint32_t nSeries);

    // Receive thread.
    void OnSubsystemUpdated(uint8_t nSubSystem);
    void OnSubsystemUpdated(uint8_t nSubSystem, double dTime);

    // The plot window's thread: everything queued since the last call.
    void Drain(std::vector<Pending>& pending);
    uint64_t Dropped() const;

private:
    struct Item
    {
        uint32_t nSeries;
        uint8_t nSubSystem;
        const RC_ItemValue* pValue;
        bool bSeen;  // has held a value: sampled on every update from then on
    };

    mutable std::mutex m_Mutex;  // guards everything below
    std::vector<Item> m_Items;
    std::vector<Pending> m_Pending;
    uint64_t m_nDropped = 0;
};
