#pragma once
#include "RC_DataType.h"
#include "RC_ItemValue.h"

#include <cstdint>
#include <memory>
#include <string>

// One remote-system item as the pages list it, with the holder that receives
// its values. The holder lives on the heap, so its address stays put while
// the lists that own items grow.
struct PageItem
{
    // The codes the page definitions' "RO", "WO" and "RW" stand for.
    enum Access : int32_t
    {
        kReadOnly = 0,
        kWriteOnly = 1,
        kReadWrite = 2,
    };

    uint8_t nSubSystem = 0;
    uint8_t nIndex = 0;
    uint8_t nItem = 0;
    RC_DataType eType = RC_DataType::Byte;
    Access nAccess = kReadOnly;
    std::unique_ptr<RC_ItemValue> pValue;
    std::string sLabel;

    uint32_t Key() const { return static_cast<uint32_t>(nSubSystem) << 16 | static_cast<uint32_t>(nIndex) << 8 | nItem; }
    static PageItem Make(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, RC_DataType eType, Access nAccess,
                         const std::string& sLabel);
};
