#include "cSimPeriodic.h"

#include <bit>

namespace
{
uint16_t GroupKey(uint8_t nSubSystem, uint8_t nIndex)
{
    return static_cast<uint16_t>(nSubSystem << 8 | nIndex);
}
} // namespace

int32_t cSimPeriodic::ItemCount(const Mask& mask)
{
    int32_t nCount = 0;
    for (uint8_t nByte : mask)
        nCount += std::popcount(nByte);
    return nCount;
}

bool cSimPeriodic::SetRate(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const uint16_t nKey = GroupKey(nSubSystem, nIndex);
    auto it = m_Groups.find(nKey);
    if (nRate == 0)
    {
        if (it == m_Groups.end())
            return false;
        const bool bWasActive = Active(it->second.group);
        m_Groups.erase(it);
        return bWasActive;
    }
    if (it == m_Groups.end())
        it = m_Groups.emplace(nKey, State{Group{nSubSystem, nIndex, 0, {}}, 0}).first;
    State& state = it->second;
    if (state.group.nRate == nRate)
        return false;
    state.group.nRate = nRate;
    state.nCountdown = 0;
    return ItemCount(state.group.mask) != 0;
}

bool cSimPeriodic::SetMask(uint8_t nSubSystem, uint8_t nIndex, const Mask& mask)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const uint16_t nKey = GroupKey(nSubSystem, nIndex);
    auto it = m_Groups.find(nKey);
    if (it == m_Groups.end())
    {
        // A mask before its rate is kept until the rate arrives.
        if (ItemCount(mask) != 0)
            m_Groups.emplace(nKey, State{Group{nSubSystem, nIndex, 0, mask}, 0});
        return false;
    }
    State& state = it->second;
    if (state.group.mask == mask)
        return false;
    const bool bWasActive = Active(state.group);
    state.group.mask = mask;
    if (!bWasActive)
        state.nCountdown = 0;
    return bWasActive || Active(state.group);
}

bool cSimPeriodic::Find(uint8_t nSubSystem, uint8_t nIndex, Group& group) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto it = m_Groups.find(GroupKey(nSubSystem, nIndex));
    if (it == m_Groups.end())
        return false;
    group = it->second.group;
    return true;
}

std::vector<cSimPeriodic::Group> cSimPeriodic::Tick()
{
    std::vector<Group> due;
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (auto& [nKey, state] : m_Groups)
    {
        if (!Active(state.group))
            continue;
        if (state.nCountdown > 0)
        {
            --state.nCountdown;
            continue;
        }
        due.push_back(state.group);
        state.nCountdown = state.group.nRate - 1;
    }
    return due;
}

size_t cSimPeriodic::ActiveCount() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    size_t nCount = 0;
    for (const auto& [nKey, state] : m_Groups)
        nCount += Active(state.group) ? 1 : 0;
    return nCount;
}
