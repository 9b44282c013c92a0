// Feeds arbitrary bytes through the page protocol (both frame variants, with
// an item of every type registered, several under one address) and the EO
// track receiver, as their transports would.
#include "NullTransport.h"
#include "cPageList.h"
#include "cRC_IO_EoData.h"
#include "cRC_IO_Pages.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{
cPageList& EveryType()
{
    static cPageList* pList = [] {
        auto* pNew = new cPageList();
        std::vector<PageItem> items;
        for (int nType = 0; nType < 12; ++nType)
        {
            // Subsystem 5, index 2 (index 0 for short frames), items 1..12;
            // item 1 twice, as two pages showing the same item would.
            const auto nItem = static_cast<uint8_t>(nType + 1);
            const auto eType = static_cast<RC_DataType>(nType);
            items.push_back(PageItem::Make(5, 2, nItem, eType, PageItem::kReadWrite, "i"));
            items.push_back(PageItem::Make(5, 0, nItem, eType, PageItem::kReadWrite, "i"));
        }
        items.push_back(PageItem::Make(5, 2, 1, RC_DataType::Byte, PageItem::kReadOnly, "again"));
        pNew->AppendPage(std::move(items), "all", false, -1);
        return pNew;
    }();
    return *pList;
}

template <typename Protocol>
void Feed(Protocol& protocol, NullTransport& transport, const uint8_t* pData, size_t nSize, size_t nBlock)
{
    if (!protocol.setCommsIF(&transport) || !protocol.initialise(1000))
        std::abort();
    for (size_t nPos = 0; nPos < nSize; nPos += nBlock)
    {
        const size_t nCount = nSize - nPos < nBlock ? nSize - nPos : nBlock;
        transport.processRxDataDefault(pData + nPos, static_cast<int32_t>(nCount));
    }
    protocol.clearCommsIF();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const uint8_t nChoice = pData[0];
    const size_t nBlock = (nChoice >> 2) + 1;
    NullTransport transport;
    if ((nChoice & 3) == 3)
    {
        cRC_IO_EoData eo;
        Feed(eo, transport, pData + 1, nSize - 1, nBlock);
        const EoReport report = eo.CopyTrackData();
        if (report.numTracks.Get() > 0 && report.format.Get() == 0xFF)
            std::abort();  // unreachable: touches the copy
        return 0;
    }
    cRC_IO_Pages pages(static_cast<RC_Variant>(nChoice & 1), false);
    pages.m_pPageDefinitions = &EveryType();
    pages.RegisterItems();
    pages.m_bUseHeartbeat = (nChoice & 2) != 0;
    Feed(pages, transport, pData + 1, nSize - 1, nBlock);
    pages.MM_TimerHB_Handling();
    return 0;
}
