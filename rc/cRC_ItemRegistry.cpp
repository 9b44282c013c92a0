#include "cRC_ItemRegistry.h"

#include "DbgLog.h"
#include "PageItem.h"
#include "RC_ItemValue.h"

#include <algorithm>

void cRC_ItemRegistry::Register(const PageItem& item)
{
    if (!item.pValue)
        return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    Holders& holders = m_Items[item.Key()];
    const bool bKnown = std::any_of(holders.begin(), holders.end(),
                                    [&](const auto& entry) { return entry.second == item.pValue.get(); });
    if (!bKnown)
        holders.emplace_back(item.eType, item.pValue.get());
}

size_t cRC_ItemRegistry::HoldersRegistered(uint32_t nItemKey) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const auto it = m_Items.find(nItemKey);
    return it == m_Items.end() ? 0 : it->second.size();
}

bool cRC_ItemRegistry::ProcessStatusByte(uint8_t nStatus)
{
    static const char* const kFunction = "cRC_IO_Pages::ProcessStatusByte";
    static const struct
    {
        const char* szText;
        int32_t nLine;
    } kErrors[16] = {
        {nullptr, 0},
        {"Bad status - Checksum failed", 582},
        {"Bad status - Unknown item", 585},
        {"Bad status - Data item not supported", 588},
        {"Bad status - Command not valid in this state", 591},
        {"Bad status - Invalid data access", 594},
        {"Bad status - Data type error", 597},
        {"Bad status - Unknown error", 600},
        {"Bad status - Device not initialised", 603},
        {"Bad status - Device busy", 606},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
    };
    const uint8_t nError = (nStatus >> 2) & 0x0F;
    if (nError != 0)
    {
        DbgLog(DBG_WRN, kFunction, kErrors[nError].nLine, kErrors[nError].szText);
        return false;
    }
    // Triggers 0 (an answer) and 1 (periodic) are known; 2 and 3 are not.
    const uint8_t nTrigger = nStatus >> 6;
    if (nTrigger >= 2)
    {
        DbgLog(DBG_WRN, kFunction, 624, DbgLogFormat("Unknown Transmission Trigger - %d", nTrigger));
        return false;
    }
    return true;
}

bool cRC_ItemRegistry::ProcessStatus(const uint8_t* pPayload, int32_t nLength, uint8_t nSubSystem, uint8_t nIndex,
                                     std::bitset<256>* pItemsSeen)
{
    if (nLength < 2)
        return true;
    const size_t nEnd = static_cast<size_t>(nLength);
    std::lock_guard<std::mutex> lock(m_Mutex);
    size_t i = 0;
    while (i + 1 < nEnd)
    {
        const uint32_t nKey = static_cast<uint32_t>(nSubSystem) << 16 | static_cast<uint32_t>(nIndex) << 8 | pPayload[i];
        if (pItemsSeen)
            pItemsSeen->set(pPayload[i]);
        const auto it = m_Items.find(nKey);
        if (it == m_Items.end())
        {
            DbgLog(DBG_WRN, "cRC_IO_Pages::ProcessStatus", 647, DbgLogFormat("unknown item: %d", nKey));
            return false;
        }
        ++i;
        size_t nConsumed = 0;
        for (const auto& [eType, pHolder] : it->second)
        {
            // A value that would reach past the payload ends the frame.
            if (!pHolder->Decode(pPayload, i, nEnd, nConsumed))
                return true;
        }
        i += nConsumed;
    }
    return true;
}
