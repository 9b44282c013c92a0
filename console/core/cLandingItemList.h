#pragma once
#include "PageItem.h"
#include "RC_Variant.h"

#include <cstdint>
#include <vector>

// The fixed items of the landing dialogs, one list per kind of remote system,
// and where each control sends. The console appends a list to its pages and
// registers it like any page; the simulator serves the same lists.
class cLandingItemList
{
public:
    struct Address
    {
        uint8_t nSubSystem;
        uint8_t nIndex;
        uint8_t nItem;
    };

    // The items both dialogs show, at the variant's addresses.
    struct Common
    {
        Address trackingMode;
        Address detectionAlgorithm;
        Address detectionPriority;
        Address detectionPolarity;
        Address trackAlgorithm;
        Address aoiSizeX;
        Address aoiSizeY;
        Address targetMode;
        Address positionX;
        Address positionY;
        Address videoChannel;  // the VMS calls it the primary sensor
    };

    static constexpr Common kThimbrel{{0, 0, 0},  {0, 0, 14}, {0, 0, 4},  {0, 0, 5},  {0, 0, 15}, {0, 0, 18},
                                      {0, 0, 19}, {0, 0, 64}, {0, 0, 66}, {0, 0, 67}, {3, 0, 17}};
    static constexpr Common kVms{{5, 0, 0},  {5, 0, 1},  {5, 0, 5},  {5, 0, 7},  {5, 0, 6}, {5, 0, 18},
                                 {5, 0, 19}, {5, 0, 64}, {5, 0, 66}, {5, 0, 67}, {1, 0, 4}};
    static constexpr Address kThimbrelAzRateDemand{1, 0, 32};
    static constexpr Address kThimbrelElRateDemand{1, 0, 40};
    static constexpr Address kVmsSystemMode{1, 0, 3};
    static constexpr Address kVmsAzDeckPos{2, 0, 1};
    static constexpr Address kVmsElDeckPos{2, 0, 2};
    // The VMS cameras: subsystem 3, one index per sensor.
    static constexpr uint8_t kCameraSubSystem = 3;
    static constexpr uint8_t kZoomSpeedItem = 6;
    static constexpr uint8_t kZoomStopItem = 22;

    static const Common& For(RC_Variant eVariant) { return eVariant == RC_Variant::LongFrames ? kVms : kThimbrel; }
    // A fresh list of the variant's items, each with its own empty holder.
    static std::vector<PageItem> Items(RC_Variant eVariant);
};
