#include "cKlvTimeline.h"

#include <algorithm>

void cKlvTimeline::Add(int64_t nPtsNs, const KlvMetadata& metadata)
{
    const std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_Packets.empty() && nPtsNs >= 0 && m_Packets.back().first - nPtsNs > kRestartBackwardsNs)
        m_Packets.clear();
    // Without a time it stands for "from now on": after everything held.
    const int64_t nAt = nPtsNs >= 0 ? nPtsNs : (m_Packets.empty() ? 0 : m_Packets.back().first);
    // Packets come in time order but for a jitter of the multiplexer: kept in order all the same.
    const auto it = std::upper_bound(m_Packets.begin(), m_Packets.end(), nAt,
                                     [](int64_t nTime, const auto& packet) { return nTime < packet.first; });
    m_Packets.emplace(it, nAt, metadata);
    if (m_Packets.size() > kMostKept)
        m_Packets.pop_front();
}

std::optional<KlvMetadata> cKlvTimeline::Match(int64_t nPtsNs) const
{
    const std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Packets.empty())
        return std::nullopt;
    if (nPtsNs < 0)
        return m_Packets.back().second;
    // The first packet after the frame's time; the one before it is the frame's.
    const auto it = std::upper_bound(m_Packets.begin(), m_Packets.end(), nPtsNs,
                                     [](int64_t nTime, const auto& packet) { return nTime < packet.first; });
    if (it == m_Packets.begin())
        return std::nullopt;
    const auto& [nAt, metadata] = *std::prev(it);
    if (nPtsNs - nAt > kMostBehindNs)
        return std::nullopt;
    return metadata;
}

void cKlvTimeline::Clear()
{
    const std::lock_guard<std::mutex> lock(m_Mutex);
    m_Packets.clear();
}
