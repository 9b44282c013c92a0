#include "cRC_PeriodicWatch.h"

#include "DbgLog.h"

#include <algorithm>
#include <utility>

void cRC_PeriodicWatch::Requested(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate)
{
    if (nRate == 0)
    {
        Stopped(nSubSystem, nIndex);
        return;
    }
    std::lock_guard<std::mutex> lock(m_Mutex);
    State& state = m_Groups[Key(nSubSystem, nIndex)];
    state.nShortestWait = std::max(kPeriodsToWait * static_cast<int32_t>(nRate), kShortestWaitTicks);
    state.nWait = state.nShortestWait;
    state.nSilentTicks = 0;
    // bSilent stays: the group comes back only when its frames do.
}

void cRC_PeriodicWatch::Stopped(uint8_t nSubSystem, uint8_t nIndex)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Groups.erase(Key(nSubSystem, nIndex));
}

bool cRC_PeriodicWatch::Heard(State& state)
{
    state.nSilentTicks = 0;
    state.nWait = state.nShortestWait;
    const bool bWasSilent = state.bSilent;
    state.bSilent = false;
    return bWasSilent;
}

void cRC_PeriodicWatch::StatusReceived(uint8_t nSubSystem, uint8_t nIndex)
{
    std::vector<uint16_t> back;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_bIndexCarried)
        {
            const auto it = m_Groups.find(Key(nSubSystem, nIndex));
            if (it != m_Groups.end() && Heard(it->second))
                back.push_back(it->first);
        }
        else
        {
            const auto itEnd = m_Groups.upper_bound(Key(nSubSystem, 0xFF));
            for (auto it = m_Groups.lower_bound(Key(nSubSystem, 0)); it != itEnd; ++it)
                if (Heard(it->second))
                    back.push_back(it->first);
        }
    }
    for (uint16_t nKey : back)
        DbgLog(DBG_INF, "cRC_PeriodicWatch::StatusReceived", __LINE__,
               DbgLogFormat("Periodic status of subsystem %d index %d arrives again", nKey >> 8, nKey & 0xFF));
}

std::vector<cRC_PeriodicWatch::Group> cRC_PeriodicWatch::Tick(bool bLinkUp)
{
    std::vector<Group> due;
    std::vector<std::pair<uint16_t, int32_t>> silenced;  // key and the wait that passed
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        for (auto& [nKey, state] : m_Groups)
        {
            if (!bLinkUp)
            {
                state.nSilentTicks = 0;
                continue;
            }
            if (++state.nSilentTicks < state.nWait)
                continue;
            due.push_back(Group{static_cast<uint8_t>(nKey >> 8), static_cast<uint8_t>(nKey & 0xFF)});
            if (!state.bSilent)
                silenced.emplace_back(nKey, state.nWait);
            state.bSilent = true;
            state.nSilentTicks = 0;
            state.nWait = std::min(state.nWait * 2, std::max(kLongestWaitTicks, state.nShortestWait));
        }
    }
    for (const auto& [nKey, nWait] : silenced)
        DbgLog(DBG_WRN, "cRC_PeriodicWatch::Tick", __LINE__,
               DbgLogFormat("No periodic status of subsystem %d index %d for %.1f s while the link is up: asking again",
                            nKey >> 8, nKey & 0xFF, nWait * kTickMs / 1000.0));
    return due;
}

bool cRC_PeriodicWatch::IsSilent(uint8_t nSubSystem, uint8_t nIndex) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const auto it = m_Groups.find(Key(nSubSystem, nIndex));
    return it != m_Groups.end() && it->second.bSilent;
}
