#include "cLandingItemList.h"

namespace
{
struct Row
{
    const char* szLabel;
    cLandingItemList::Address address;
    RC_DataType eType;
    PageItem::Access nAccess;
};

constexpr auto RO = PageItem::kReadOnly;
constexpr auto RW = PageItem::kReadWrite;

const Row kThimbrelRows[] = {
    {"Object Tracking Mode", cLandingItemList::kThimbrel.trackingMode, RC_DataType::Byte, RW},
    {"Detection Priority Metric", cLandingItemList::kThimbrel.detectionPriority, RC_DataType::Byte, RW},
    {"Detection Polarity", cLandingItemList::kThimbrel.detectionPolarity, RC_DataType::Byte, RW},
    {"Detection Algorithm", cLandingItemList::kThimbrel.detectionAlgorithm, RC_DataType::Byte, RW},
    {"Track Algorithm", cLandingItemList::kThimbrel.trackAlgorithm, RC_DataType::Byte, RW},
    {"Detection AOI Size X", cLandingItemList::kThimbrel.aoiSizeX, RC_DataType::U16, RW},
    {"Detection AOI Size Y", cLandingItemList::kThimbrel.aoiSizeY, RC_DataType::U16, RW},
    {"Target Mode", cLandingItemList::kThimbrel.targetMode, RC_DataType::Byte, RO},
    {"Position X", cLandingItemList::kThimbrel.positionX, RC_DataType::Fixed, RO},
    {"Position Y", cLandingItemList::kThimbrel.positionY, RC_DataType::Fixed, RO},
    {"Man Az Rate Demand", cLandingItemList::kThimbrelAzRateDemand, RC_DataType::Fixed, RW},
    {"Man El Rate Demand", cLandingItemList::kThimbrelElRateDemand, RC_DataType::Fixed, RW},
    {"Video Input Channel", cLandingItemList::kThimbrel.videoChannel, RC_DataType::Byte, RW},
};

const Row kVmsRows[] = {
    {"VMS System Mode", cLandingItemList::kVmsSystemMode, RC_DataType::Byte, RW},
    {"Primary Sensor", cLandingItemList::kVms.videoChannel, RC_DataType::Byte, RW},
    {"Az Deck Pos", cLandingItemList::kVmsAzDeckPos, RC_DataType::Fixed, RW},
    {"El Deck Pos", cLandingItemList::kVmsElDeckPos, RC_DataType::Fixed, RW},
    {"Object Tracking Mode", cLandingItemList::kVms.trackingMode, RC_DataType::Byte, RO},
    {"Detection Algorithm", cLandingItemList::kVms.detectionAlgorithm, RC_DataType::Byte, RW},
    {"Detection Priority Metric", cLandingItemList::kVms.detectionPriority, RC_DataType::Byte, RW},
    {"Track Algorithm", cLandingItemList::kVms.trackAlgorithm, RC_DataType::Byte, RW},
    {"Detection Polarity", cLandingItemList::kVms.detectionPolarity, RC_DataType::Byte, RW},
    {"Detection AOI Size X", cLandingItemList::kVms.aoiSizeX, RC_DataType::U16, RW},
    {"Detection AOI Size Y", cLandingItemList::kVms.aoiSizeY, RC_DataType::U16, RW},
    {"Target Mode", cLandingItemList::kVms.targetMode, RC_DataType::Byte, RO},
    {"Position X", cLandingItemList::kVms.positionX, RC_DataType::Fixed, RO},
    {"Position Y", cLandingItemList::kVms.positionY, RC_DataType::Fixed, RO},
};
} // namespace

std::vector<PageItem> cLandingItemList::Items(RC_Variant eVariant)
{
    std::vector<PageItem> items;
    auto add = [&items](const auto& rows) {
        for (const Row& row : rows)
            items.push_back(PageItem::Make(row.address.nSubSystem, row.address.nIndex, row.address.nItem, row.eType,
                                           row.nAccess, row.szLabel));
    };
    if (eVariant == RC_Variant::LongFrames)
        add(kVmsRows);
    else
        add(kThimbrelRows);
    return items;
}
