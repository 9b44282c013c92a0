#include "PageItem.h"

PageItem PageItem::Make(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, RC_DataType eType, Access nAccess,
                        const std::string& sLabel)
{
    PageItem item;
    item.nSubSystem = nSubSystem;
    item.nIndex = nIndex;
    item.nItem = nItem;
    item.eType = eType;
    item.nAccess = nAccess;
    item.pValue = RC_ItemValue::Create(eType);
    item.sLabel = sLabel;
    return item;
}
