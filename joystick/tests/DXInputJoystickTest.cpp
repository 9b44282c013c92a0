#include "DXInputJoystick.h"
#include "LogCapture.h"
#include "cPipeJoystick.h"

#include <chrono>
#include <gtest/gtest.h>

namespace
{
// Puts the test's controllers behind the device layer for one test.
class DeviceLayer : public ::testing::Test
{
protected:
    void Attach(std::vector<std::shared_ptr<cPipeJoystick>> devices)
    {
        auto pProvider = std::make_shared<cPipeProvider>(std::move(devices));
        DXInputDevice::SetInterfaceFactory([pProvider] { return pProvider; });
    }
    void TearDown() override { DXInputDevice::SetInterfaceFactory(nullptr); }

    LogCapture m_Log;
};
} // namespace

TEST_F(DeviceLayer, IndexChoosesAmongTheAttachedControllers)
{
    Attach({std::make_shared<cPipeJoystick>(joystick_caps::Stick()),
            std::make_shared<cPipeJoystick>(joystick_caps::Gamepad())});
    DXInputJoystick first(0, 0), second(0, 1), third(0, 2);
    ASSERT_TRUE(first.IsOpened());
    ASSERT_TRUE(second.IsOpened());
    EXPECT_FALSE(third.IsOpened());
    EXPECT_EQ(first.AxisFlags(), 0x07);
    EXPECT_EQ(second.AxisFlags(), 0x1b);
    EXPECT_FALSE(third.Update());
}

TEST_F(DeviceLayer, ReadingsFollowTheDeviceRecords)
{
    auto pStick = std::make_shared<cPipeJoystick>(joystick_caps::Stick());
    Attach({pStick});
    DXInputJoystick joystick(0, 0);
    ASSERT_TRUE(joystick.IsOpened());

    EXPECT_TRUE(joystick.Update());  // nothing new is still a good reading
    pStick->SendFrame({{EV_ABS, ABS_X, 0}, {EV_KEY, BTN_THUMB, 1}});
    pStick->SendFrame({{EV_ABS, ABS_Y, 255}});
    EXPECT_TRUE(joystick.Update());
    EXPECT_EQ(joystick.State().lX, -1000);  // the left stop
    EXPECT_EQ(joystick.State().lY, 1000);
    EXPECT_EQ(joystick.State().rgbButtons[1], 0x80);
}

TEST_F(DeviceLayer, WaitForCapabilitiesIsBounded)
{
    auto pSlow = std::make_shared<cPipeJoystick>(joystick_caps::Stick());
    pSlow->DelayCapabilities(2);
    Attach({pSlow});
    DXInputJoystick slow(0, 0);
    EXPECT_TRUE(slow.IsOpened());

    pSlow->DelayCapabilities(1000);
    const auto start = std::chrono::steady_clock::now();
    DXInputJoystick silent(0, 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(silent.IsOpened());
    EXPECT_GE(elapsed, std::chrono::milliseconds((DXInputJoystick::kCapabilityAttempts - 1) *
                                                 DXInputJoystick::kCapabilityPauseMs));
    EXPECT_TRUE(m_Log.Contains("(pipe joystick) reported no capabilities within 2000 ms, not used", DBG_WRN))
        << m_Log.Dump();
}

// Unplugged: reads fail and the last readings stay. Plugged in again: the next
// read finds it and starts from its current readings.
TEST_F(DeviceLayer, FailedReadKeepsTheLastReadingsUntilTheDeviceIsBack)
{
    auto pStick = std::make_shared<cPipeJoystick>(joystick_caps::Stick());
    Attach({pStick});
    DXInputJoystick joystick(0, 0);
    pStick->SendFrame({{EV_ABS, ABS_X, 255}});
    ASSERT_TRUE(joystick.Update());

    pStick->Unplug();
    EXPECT_FALSE(joystick.Update());
    EXPECT_EQ(joystick.State().lX, 1000);
    EXPECT_TRUE(m_Log.Contains("(pipe joystick) stopped answering, looking for it again", DBG_WRN));
    EXPECT_FALSE(joystick.Update());
    EXPECT_EQ(m_Log.Count("stopped answering"), 1);

    JoystickCapabilities caps = joystick_caps::Stick();
    caps.axes[0].nValue = 0;
    pStick->Plug(caps);
    EXPECT_TRUE(joystick.Update());
    EXPECT_EQ(joystick.State().lX, -1000);
    EXPECT_TRUE(m_Log.Contains("(pipe joystick) answers again", DBG_WRN));
    pStick->SendFrame({{EV_ABS, ABS_X, 255}});
    EXPECT_TRUE(joystick.Update());
    EXPECT_EQ(joystick.State().lX, 1000);
}
