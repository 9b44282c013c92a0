#pragma once
#include "RC_DataType.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

class RC_ItemValue;
struct PageItem;

// The value holders of the items the pages define, by nItemKey, and the
// decoding of status frames into them. Registration (user-interface thread)
// may overlap decoding (receive thread); the lock keeps them apart. The
// holders belong to the page list, which outlives this registry.
class cRC_ItemRegistry
{
public:
    // Adds the item's holder under its key; a holder already there is not
    // added again, so each holder receives each value once.
    void Register(const PageItem& item);
    size_t HoldersRegistered(uint32_t nItemKey) const;

    // Checks a status byte: false (reported) when its error code or its
    // transmission trigger says the frame must not be decoded.
    static bool ProcessStatusByte(uint8_t nStatus);
    // Decodes every item of a status payload into its holders. False when an
    // unknown item stopped the decoding (reported): the rest is not trusted
    // and no update is to be announced. pItemsSeen, when given, gets the
    // number of every item the payload was found to carry.
    bool ProcessStatus(const uint8_t* pPayload, int32_t nLength, uint8_t nSubSystem, uint8_t nIndex,
                       std::bitset<256>* pItemsSeen = nullptr);

private:
    using Holders = std::vector<std::pair<RC_DataType, RC_ItemValue*>>;

    mutable std::mutex m_Mutex;  // guards m_Items
    std::map<uint32_t, Holders> m_Items;
};
