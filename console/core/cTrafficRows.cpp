#include "cTrafficRows.h"

#include <algorithm>

size_t cTrafficRows::CountExpired(const cTrafficHistory& history) const
{
    const uint64_t nFirst = history.FirstNumber();
    return static_cast<size_t>(std::lower_bound(m_Numbers.begin(), m_Numbers.end(), nFirst) - m_Numbers.begin());
}

void cTrafficRows::DropExpired(const cTrafficHistory& history)
{
    m_Numbers.erase(m_Numbers.begin(), m_Numbers.begin() + static_cast<std::ptrdiff_t>(CountExpired(history)));
}

size_t cTrafficRows::CollectNew(const cTrafficHistory& history, const cTrafficDecoder& decoder)
{
    m_Collected.clear();
    // Frames added and already gone again since the last look are skipped.
    for (uint64_t n = std::max(m_nNextToLook, history.FirstNumber()); n < history.EndNumber(); ++n)
    {
        if (const cTrafficHistory::Record* pRecord = history.Find(n); pRecord && m_Filter.Accepts(*pRecord, decoder))
            m_Collected.push_back(n);
    }
    m_nNextToLook = history.EndNumber();
    return m_Collected.size();
}

void cTrafficRows::AppendCollected()
{
    m_Numbers.insert(m_Numbers.end(), m_Collected.begin(), m_Collected.end());
    m_Collected.clear();
}

void cTrafficRows::Rebuild(const cTrafficHistory& history, const cTrafficDecoder& decoder)
{
    m_Numbers.clear();
    m_nNextToLook = 0;
    CollectNew(history, decoder);
    AppendCollected();
}
