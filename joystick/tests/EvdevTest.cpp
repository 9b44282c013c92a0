#include "Joyvane.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "cEvdevEnumerator.h"
#include "cEvdevProvider.h"

#include <boost/filesystem.hpp>
#include <cerrno>
#include <gtest/gtest.h>

namespace
{
// A stand-in for /dev/input and /sys/class/input.
class FakeInputTree
{
public:
    FakeInputTree()
    {
        boost::filesystem::create_directories(Dev());
        boost::filesystem::create_directories(Sys());
    }
    std::string Dev() const { return m_Dir.File("dev"); }
    std::string Sys() const { return m_Dir.File("sys"); }

    // A node whose device has these capability bitmaps (as sysfs shows them).
    void AddNode(int nNumber, const std::string& sName, const std::string& sAbs, const std::string& sKey)
    {
        const std::string sEvent = "event" + std::to_string(nNumber);
        m_Dir.Write("dev/" + sEvent, "");
        const std::string sDevice = "sys/" + sEvent + "/device";
        boost::filesystem::create_directories(m_Dir.File(sDevice + "/capabilities"));
        boost::filesystem::create_directories(m_Dir.File(sDevice + "/id"));
        m_Dir.Write(sDevice + "/name", sName + "\n");
        m_Dir.Write(sDevice + "/phys", "usb-0000:00:14.0-" + std::to_string(nNumber) + "/input0\n");
        m_Dir.Write(sDevice + "/capabilities/abs", sAbs + "\n");
        m_Dir.Write(sDevice + "/capabilities/key", sKey + "\n");
        m_Dir.Write(sDevice + "/id/vendor", "046d\n");
        m_Dir.Write(sDevice + "/id/product", "c215\n");
    }

private:
    TempDir m_Dir;
};

// Capability bitmaps: X, Y (and hat) with BTN_TRIGGER / BTN_SOUTH; a keyboard;
// a touchpad (X, Y and BTN_TOUCH).
const char* const kStickAbs = "30003";
const char* const kStickKey = "ffff00000000 0 0 0 0";          // BTN_TRIGGER..BTN_DEAD (0x120..)
const char* const kPadKey = "7fdb000000000000 0 0 0 0";        // BTN_SOUTH.. (0x130..)
const char* const kKeyboardKey = "0 0 0 0 0 fffffffffffffffe";  // keys only, no absolute axes
const char* const kTouchAbs = "3";
const char* const kTouchKey = "6520 10000 0 0 0 0";  // BTN_LEFT, BTN_TOUCH, BTN_TOOL_*

class PermissionDenied : public cEvdevEnumerator
{
public:
    using cEvdevEnumerator::cEvdevEnumerator;

protected:
    int OpenFile(const std::string&) const override { return -EACCES; }
};
} // namespace

TEST(EvdevEnumeration, CapabilityBitmapsReadAsSysfsWritesThem)
{
    const std::vector<uint64_t> bits = cEvdevEnumerator::ParseBitmap("8000000000000001 0 2");
    EXPECT_TRUE(cEvdevEnumerator::TestBit(bits, 1));
    EXPECT_FALSE(cEvdevEnumerator::TestBit(bits, 0));
    EXPECT_TRUE(cEvdevEnumerator::TestBit(bits, 128));
    EXPECT_TRUE(cEvdevEnumerator::TestBit(bits, 191));
    EXPECT_FALSE(cEvdevEnumerator::TestBit(bits, 500));
    EXPECT_TRUE(cEvdevEnumerator::LooksLikeJoystick(cEvdevEnumerator::ParseBitmap(kStickAbs),
                                                    cEvdevEnumerator::ParseBitmap(kPadKey)));
}

// Joysticks and gamepads only, in node-number order (event2 before event10).
TEST(EvdevEnumeration, ListsJoysticksAndGamepadsInNodeOrder)
{
    FakeInputTree tree;
    tree.AddNode(10, "Pad", kStickAbs, kPadKey);
    tree.AddNode(3, "Keyboard", "0", kKeyboardKey);
    tree.AddNode(2, "Stick", kStickAbs, kStickKey);
    tree.AddNode(4, "Touchpad", kTouchAbs, kTouchKey);
    const std::vector<cEvdevNode> joysticks = cEvdevEnumerator(tree.Dev(), tree.Sys()).Joysticks();
    ASSERT_EQ(joysticks.size(), 2u);
    EXPECT_EQ(joysticks[0].sName, "Stick");
    EXPECT_EQ(joysticks[0].sPath, tree.Dev() + "/event2");
    EXPECT_EQ(joysticks[0].nVendor, 0x046d);
    EXPECT_EQ(joysticks[1].sName, "Pad");
    EXPECT_TRUE(joysticks[0].SameDevice(joysticks[0]));
    EXPECT_FALSE(joysticks[0].SameDevice(joysticks[1]));
}

TEST(EvdevEnumeration, NodeTheUserMayNotReadIsReportedWithTheFix)
{
    FakeInputTree tree;
    tree.AddNode(5, "Stick", kStickAbs, kStickKey);
    LogCapture log;
    cEvdevProvider provider(std::make_shared<PermissionDenied>(tree.Dev(), tree.Sys()));
    EXPECT_EQ(provider.Open(0), nullptr);
    EXPECT_TRUE(log.Contains("(" + tree.Dev() + "/event5) permission denied: add the user to the 'input' group", DBG_ERR))
        << log.Dump();
}

TEST(EvdevEnumeration, NodeThatIsNoInputDeviceIsNotOpened)
{
    FakeInputTree tree;
    tree.AddNode(0, "Impostor", kStickAbs, kStickKey);  // a plain file behind the node
    cEvdevProvider provider(std::make_shared<cEvdevEnumerator>(tree.Dev(), tree.Sys()));
    EXPECT_EQ(provider.Open(0), nullptr);
    EXPECT_EQ(provider.Open(1), nullptr);
    EXPECT_EQ(provider.Open(-1), nullptr);
}

// This machine's own input devices, for real: with no joystick attached,
// CI_LibInit fails with 1 and says why.
TEST(EvdevEnumeration, NoJoystickAttachedFailsInit)
{
    if (!cEvdevEnumerator().Joysticks().empty())
        GTEST_SKIP() << "a joystick is attached to this machine";
    TempDir dir;
    dir.Write("settings.xml", "<VMS_Cfg/>");
    LogCapture log;
    void* hLib = nullptr;
    EXPECT_EQ(CI_LibInit(&hLib, 0, 0, dir.File("settings.xml").c_str(), 0x1010), Nx_ERR);
    EXPECT_EQ(hLib, nullptr);
    EXPECT_TRUE(log.Contains("cConDirectX::init (47): Initialise failed to allocate m_pJoystick", DBG_ERR));
}
