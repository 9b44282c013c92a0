#include "LogCapture.h"
#include "TempDir.h"
#include "cLandingItemList.h"
#include "cLandingSettings.h"
#include "cLandingValues.h"
#include "cLinkHealth.h"
#include "cSliderSendMemory.h"

#include <gtest/gtest.h>
#include <set>

using namespace std::chrono_literals;

// Degrees become radians in single precision, then milliradians x 4096: 90
// degrees is 6433982 (in double precision it would be 6433981).
TEST(LandingValues, DegreesAreSentAsFixedMilliradians)
{
    int32_t nValue = 0;
    ASSERT_TRUE(cLandingValues::DegreesToDeckPosition("90", nValue));
    EXPECT_EQ(nValue, 6433982);
    ASSERT_TRUE(cLandingValues::DegreesToDeckPosition("-90", nValue));
    EXPECT_EQ(nValue, -6433982);
    ASSERT_TRUE(cLandingValues::DegreesToDeckPosition(" 0.5", nValue));
    EXPECT_EQ(nValue, 35744);
    ASSERT_TRUE(cLandingValues::DegreesToDeckPosition("30000", nValue));
    EXPECT_GT(nValue, 2'000'000'000);
    EXPECT_NEAR(cLandingValues::DeckPositionToDegrees(1570.796), 90.0, 1e-4);
}

// A typo must not become a demand of 0 degrees, nor a position that does not
// fit the wire value a wrapped-around one.
TEST(LandingValues, TextThatIsNoSendablePositionIsRefused)
{
    for (const char* szText : {"", "abc", "90x", "9 0", "nan", "inf", "-inf", "30040", "-30040", "1e300"})
    {
        int32_t nValue = 12345;
        EXPECT_FALSE(cLandingValues::DegreesToDeckPosition(szText, nValue)) << szText;
        EXPECT_EQ(nValue, 12345) << szText;
    }
}

TEST(LandingValues, ZoomSpeedsAlwaysMoveTheLens)
{
    EXPECT_EQ(cLandingValues::ZoomInSpeed(0.5), 16384);
    EXPECT_EQ(cLandingValues::ZoomOutSpeed(0.5), -16384);
    EXPECT_EQ(cLandingValues::ZoomInSpeed(0.0), 1);
    EXPECT_EQ(cLandingValues::ZoomOutSpeed(0.0), -1);
    EXPECT_EQ(cLandingValues::ZoomInSpeed(1.0), 32767);
    EXPECT_EQ(cLandingValues::ZoomOutSpeed(1.0), -32768);
}

TEST(LandingValues, ScaledWindowKeepsItsShape)
{
    EXPECT_EQ(cLandingValues::ScaledAoiY(160, 320, 240), 120);
    EXPECT_EQ(cLandingValues::ScaledAoiY(33, 320, 240), 24);  // 24.75 truncated
    EXPECT_EQ(cLandingValues::ScaledAoiY(100, 0, 240), 240);  // no range to scale by
    EXPECT_EQ(cLandingValues::AoiSize(-5), 0);
    EXPECT_EQ(cLandingValues::AoiSize(70000), 65535);
}

TEST(LandingValues, StatusTextsNameKnownValuesAndNumberTheRest)
{
    EXPECT_EQ(cLandingValues::TrackStatusText(0), "Acquire");
    EXPECT_EQ(cLandingValues::TrackStatusText(2), "Coast");
    EXPECT_EQ(cLandingValues::TrackStatusText(9), "9");
    EXPECT_EQ(cLandingValues::TargetModeText(1), "Valid");
    EXPECT_EQ(cLandingValues::TargetModeText(2), "Coasting");
    EXPECT_EQ(cLandingValues::TargetModeText(200), "200");
}

TEST(LandingSettings, MissingSectionKeepsTheDefaults)
{
    LogCapture log;
    TempDir dir;
    dir.Write("k.xml", "<VMS_Cfg><Kestrum/></VMS_Cfg>");
    cLandingSettings settings;
    EXPECT_FALSE(settings.Read(dir.File("k.xml"), true));
    EXPECT_TRUE(log.Contains("cLandingDlg::ReadConfigFile", DBG_ERR));
    EXPECT_TRUE(log.Contains("Failed to find LandingDlg in " + dir.File("k.xml"), DBG_ERR));
    EXPECT_EQ(settings.nAcqSliderMinX, 32);
    EXPECT_EQ(settings.nAcqSliderMaxY, 240);
    EXPECT_EQ(settings.nNumberOfVideoChannels, 4);
    EXPECT_FALSE(settings.bShowClassifierOptions);
    EXPECT_EQ(settings.fZoomSpeed, 1.0);
}

// The zoom speed is the VMS dialog's alone and always ends up between 0 and 1.
TEST(LandingSettings, ZoomSpeedIsReadForTheVmsOnlyAndClamped)
{
    TempDir dir;
    auto read = [&](const std::string& sSpeed, bool bVms) {
        dir.Write("k.xml", "<VMS_Cfg><LandingDlg nAcqSliderMinX=\"10\" nAcqSliderMaxX=\"400\" nNumberOfVideoChannels=\"2\" "
                           "bShowClassifierOptions=\"yes\" fZoomSpeed=\"" + sSpeed + "\"/></VMS_Cfg>");
        cLandingSettings settings;
        EXPECT_TRUE(settings.Read(dir.File("k.xml"), bVms));
        return settings;
    };
    const cLandingSettings vms = read("0.25", true);
    EXPECT_EQ(vms.nAcqSliderMinX, 10);
    EXPECT_EQ(vms.nAcqSliderMaxX, 400);
    EXPECT_EQ(vms.nAcqSliderMinY, 24);
    EXPECT_EQ(vms.nNumberOfVideoChannels, 2);
    EXPECT_TRUE(vms.bShowClassifierOptions);
    EXPECT_EQ(vms.fZoomSpeed, 0.25);
    EXPECT_EQ(read("0.25", false).fZoomSpeed, 1.0);
    EXPECT_EQ(read("1.5", true).fZoomSpeed, 1.0);
    EXPECT_EQ(read("-2", true).fZoomSpeed, 0.0);
    EXPECT_EQ(read("nan", true).fZoomSpeed, 1.0);
    EXPECT_EQ(read("fast", true).fZoomSpeed, 0.0);
}

// Every address a control sends to or a read-out is found by names an item
// of the list, with the type its control uses; the Thimbrel dialog finds its
// items by item number alone, so those numbers must be unique.
TEST(LandingItemList, ControlsAddressItemsOfTheirList)
{
    for (RC_Variant eVariant : {RC_Variant::ShortFrames, RC_Variant::LongFrames})
    {
        const std::vector<PageItem> items = cLandingItemList::Items(eVariant);
        auto find = [&](const cLandingItemList::Address& address) -> const PageItem* {
            for (const PageItem& item : items)
                if (item.nSubSystem == address.nSubSystem && item.nIndex == address.nIndex && item.nItem == address.nItem)
                    return &item;
            return nullptr;
        };
        const cLandingItemList::Common& common = cLandingItemList::For(eVariant);
        for (const auto& address : {common.trackingMode, common.detectionAlgorithm, common.detectionPriority,
                                    common.detectionPolarity, common.trackAlgorithm, common.targetMode,
                                    common.videoChannel})
        {
            const PageItem* pItem = find(address);
            ASSERT_NE(pItem, nullptr) << static_cast<int>(address.nItem);
            EXPECT_EQ(pItem->eType, RC_DataType::Byte);
            EXPECT_TRUE(pItem->pValue);
        }
        for (const auto& address : {common.aoiSizeX, common.aoiSizeY})
            EXPECT_EQ(find(address)->eType, RC_DataType::U16);
        for (const auto& address : {common.positionX, common.positionY})
            EXPECT_EQ(find(address)->nAccess, PageItem::kReadOnly);
        if (eVariant == RC_Variant::LongFrames)
        {
            EXPECT_EQ(items.size(), 14u);
            EXPECT_EQ(find(cLandingItemList::kVmsSystemMode)->eType, RC_DataType::Byte);
            EXPECT_EQ(find(cLandingItemList::kVmsAzDeckPos)->eType, RC_DataType::Fixed);
            EXPECT_EQ(find(cLandingItemList::kVmsElDeckPos)->eType, RC_DataType::Fixed);
            EXPECT_EQ(find(common.trackingMode)->nAccess, PageItem::kReadOnly);
        }
        else
        {
            EXPECT_EQ(items.size(), 13u);
            std::set<uint8_t> numbers;
            for (const PageItem& item : items)
                EXPECT_TRUE(numbers.insert(item.nItem).second) << static_cast<int>(item.nItem);
        }
    }
}

TEST(SliderSendMemory, SendsOnlyPositionsThatDifferFromTheLastSent)
{
    cSliderSendMemory memory;
    EXPECT_TRUE(memory.Take(320));  // nothing counts as sent at start
    EXPECT_FALSE(memory.Take(320));
    EXPECT_TRUE(memory.Take(100));
    memory.Sent(200);
    EXPECT_FALSE(memory.Take(200));
    EXPECT_TRUE(memory.Take(100));
}

// A link followed through its life: not open, frames flowing at 100 a
// second, then quiet until the page protocol gives it up.
TEST(LinkHealth, FollowsTheLinkThroughItsLife)
{
    cLinkHealth health;
    const cLinkHealth::Clock::time_point start{};
    cLinkHealth::Sample sample;
    cLinkHealth::Display display = health.Update(sample, start);
    EXPECT_TRUE(display.bLost);
    EXPECT_EQ(display.sLink, "NO LINK: comms not open");
    EXPECT_EQ(display.sAge, "no frame received yet");

    sample.bConnected = true;
    sample.bLinkActive = true;
    sample.bAnyFrame = true;
    auto now = start;
    for (int n = 1; n <= 8; ++n)
    {
        now += 250ms;
        sample.nFramesHandled += 25;
        sample.lastFrame = now - 5ms;
        display = health.Update(sample, now);
    }
    EXPECT_FALSE(display.bLost);
    EXPECT_EQ(display.sLink, "Link OK");
    EXPECT_EQ(display.sRate, "100 frames/s");
    EXPECT_EQ(display.sAge, "last frame < 1 s ago");

    // Between whole-second windows the rate reads the same.
    sample.nFramesHandled += 3;
    EXPECT_EQ(health.Update(sample, now + 100ms).sRate, "100 frames/s");

    sample.nChecksumFailures = 2;
    sample.nFramesSkipped = 1;
    sample.bLinkActive = false;
    display = health.Update(sample, now + 2500ms);
    EXPECT_TRUE(display.bLost);
    EXPECT_EQ(display.sLink, "LINK LOST (FAILED)");
    EXPECT_EQ(display.sRate, "1 frames/s");
    EXPECT_EQ(display.sChecksum, "checksum failures: 2");
    EXPECT_EQ(display.sSkipped, "frames skipped: 1");
    EXPECT_EQ(display.sAge, "last frame 2 s ago");
    EXPECT_EQ(display.sPeers, "");
    sample.nPeerRejects = 3;
    EXPECT_EQ(health.Update(sample, now + 2500ms).sPeers, "refused from other senders: 3");
    sample.nPeerRejects = 0;
    // Nothing changed, nothing to repaint.
    EXPECT_EQ(health.Update(sample, now + 2600ms), display);
    // Why the link cannot work, as the page protocol words it, while it lasts.
    sample.sRefusal = "no remote system at 127.0.0.1:9876";
    const cLinkHealth::Display refused = health.Update(sample, now + 2600ms);
    EXPECT_EQ(refused.sUnreachable, sample.sRefusal);
    EXPECT_EQ(refused.sMismatch, "");
    EXPECT_NE(refused, display);
    sample.sRefusal.clear();

    sample.bHeartbeat = true;
    sample.sHeartbeatText = "Inactive - 3";
    EXPECT_EQ(health.Update(sample, now + 3s).sLink, "LINK LOST (Inactive - 3)");
    sample.bLinkActive = true;
    sample.sHeartbeatText = "Active - 0";
    EXPECT_EQ(health.Update(sample, now + 4s).sLink, "Link Active - 0");

    EXPECT_EQ(cLinkHealth::AgeText(true, 150s), "last frame 2 min ago");
    EXPECT_EQ(cLinkHealth::AgeText(true, 3h), "last frame 3 h ago");
}
