#pragma once
#include "cTrafficDecoder.h"
#include "cTrafficFilter.h"
#include "cTrafficHistory.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The rows of the traffic inspector's table: the numbers of the frames kept
// in the history that pass the filter, oldest first. A refresh moves in two
// steps, so that a table model can announce each before it happens: the rows
// whose frames the history no longer keeps go from the front, then the frames
// added since the last refresh that pass are appended.
class cTrafficRows
{
public:
    size_t Size() const { return m_Numbers.size(); }
    uint64_t NumberAt(size_t nRow) const { return m_Numbers[nRow]; }

    // Rows at the front whose frames are gone, and dropping them.
    size_t CountExpired(const cTrafficHistory& history) const;
    void DropExpired(const cTrafficHistory& history);
    // Finds the frames added since the last call that pass; the count found.
    size_t CollectNew(const cTrafficHistory& history, const cTrafficDecoder& decoder);
    void AppendCollected();
    // Every kept frame again, as after a change of the filter.
    void Rebuild(const cTrafficHistory& history, const cTrafficDecoder& decoder);

    cTrafficFilter m_Filter;

private:
    std::deque<uint64_t> m_Numbers;
    std::vector<uint64_t> m_Collected;
    uint64_t m_nNextToLook = 0;
};
