#include "cRC_PeriodicTable.h"

bool cRC_PeriodicTable::Add(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem)
{
    if (nItem & 0x80)
        return false;
    std::lock_guard<std::mutex> lock(m_Mutex);
    Entry& entry = m_PeriodicRequests[static_cast<uint16_t>(nSubSystem << 8 | nIndex)];
    entry.nSubSystem = nSubSystem;
    entry.nIndex = nIndex;
    entry.mask[nItem / 8] |= static_cast<uint8_t>(1u << (nItem % 8));
    return true;
}

std::vector<cRC_PeriodicTable::Entry> cRC_PeriodicTable::Entries() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::vector<Entry> entries;
    entries.reserve(m_PeriodicRequests.size());
    for (const auto& [nKey, entry] : m_PeriodicRequests)
        entries.push_back(entry);
    return entries;
}

bool cRC_PeriodicTable::Find(uint8_t nSubSystem, uint8_t nIndex, Entry& entry) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const auto it = m_PeriodicRequests.find(static_cast<uint16_t>(nSubSystem << 8 | nIndex));
    if (it == m_PeriodicRequests.end())
        return false;
    entry = it->second;
    return true;
}
