#include "UdpPeer.h"
#include "cJoystickMapping.h"
#include "cRC_IO_Pages.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// A long-frame command to sub/index carrying the payload bytes, with its checksum.
Bytes Command(uint8_t nSub, uint8_t nIndex, const Bytes& payload)
{
    Bytes frame = {0x99, nSub, nIndex, 0x00, static_cast<uint8_t>(payload.size())};
    frame.reserve(frame.size() + payload.size() + 1);
    uint8_t nSum = 0;
    for (uint8_t b : frame)
        nSum = static_cast<uint8_t>(nSum + b);
    for (uint8_t b : payload)
    {
        frame.push_back(b);
        nSum = static_cast<uint8_t>(nSum + b);
    }
    frame.push_back(nSum);
    return frame;
}

JoystickFunctionItem Item(RC_DataType eType, int32_t nSub, int32_t nIndex, int32_t nItem, double dValue)
{
    return {static_cast<int32_t>(eType), nSub, nIndex, nItem, dValue};
}

JoystickAxisDef Axis(int nSlot, RC_DataType eType, int32_t nSub, int32_t nIndex, int32_t nItem, bool bPair = true)
{
    JoystickAxisDef axis;
    axis.nDataType = static_cast<int32_t>(eType);
    axis.bValid = true;
    axis.bPair = bPair;
    axis.nAxis = nSlot;
    axis.nSubsystem = nSub;
    axis.nIndex = nIndex;
    axis.nItem = nItem;
    axis.dMin = -1000.0;
    axis.dMax = 1000.0;
    axis.dGain = 1.0;
    return axis;
}

// The mapping sending to a bare socket with long frames. Function 99 is the
// marker: whatever arrives before it is everything that was sent.
class JoystickMapping : public ::testing::Test
{
protected:
    static constexpr int kMarker = 99;

    void SetUp() override
    {
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Peer.Port();
        settings.nRxPort = 0;
        ASSERT_TRUE(m_Pages.initialise(settings, "Kestrum"));
        m_Mapping.Definitions().functions[kMarker] = {Item(RC_DataType::Byte, 0x7E, 0, 1, 0)};
    }

    // Every frame up to the marker, which this sends.
    std::vector<Bytes> SentFrames()
    {
        m_Mapping.SetPageProtocol(&m_Pages);
        m_Mapping.ExecuteJoystickFunction(kMarker);
        const Bytes marker = Command(0x7E, 0, {0x01, 0x00});
        std::vector<Bytes> frames;
        for (Bytes frame = m_Peer.Receive(); frame != marker; frame = m_Peer.Receive())
        {
            if (frame.empty())
            {
                ADD_FAILURE() << "no marker";
                break;
            }
            frames.push_back(frame);
        }
        return frames;
    }

    UdpPeer m_Peer;
    cRC_IO_Pages m_Pages{RC_Variant::LongFrames, false};
    cJoystickMapping m_Mapping;
};
} // namespace

// Each type goes in its wire form, truncated toward zero and cut to its width;
// types the stick does not set send nothing; numbers outside 1 to 256 run nothing.
TEST_F(JoystickMapping, FunctionsSendEachTypeInItsWireForm)
{
    m_Mapping.Definitions().functions[1] = {
        Item(RC_DataType::Byte, 1, 0, 3, 300.7),     Item(RC_DataType::U16, 1, 2, 4, -1.0),
        Item(RC_DataType::S16, 1, 0, 5, -1000.9),    Item(RC_DataType::U32, 1, 0, 6, 4e9),
        Item(RC_DataType::S32, 1, 0, 7, -2.5),       Item(RC_DataType::Fixed, 1, 0, 8, 1.5),
        Item(RC_DataType::Float, 1, 0, 9, 1.0),      Item(RC_DataType::U64, 1, 0, 10, 1.0),
        Item(RC_DataType::String, 1, 0, 11, 1.0),    Item(RC_DataType::S32, 1, 0, 12, 1e20),
    };
    m_Mapping.Definitions().functions[256] = {Item(RC_DataType::Byte, 2, 0, 1, 1)};
    m_Mapping.ExecuteJoystickFunction(1);  // no page protocol yet: nothing
    m_Mapping.SetPageProtocol(&m_Pages);
    m_Mapping.ExecuteJoystickFunction(1);
    m_Mapping.ExecuteJoystickFunction(0);
    m_Mapping.ExecuteJoystickFunction(257);
    m_Mapping.ExecuteJoystickFunction(256);
    EXPECT_EQ(SentFrames(), (std::vector<Bytes>{
                                Command(1, 0, {3, 0x2C}),
                                Command(1, 2, {4, 0xFF, 0xFF}),
                                Command(1, 0, {5, 0xFC, 0x18}),
                                Command(1, 0, {6, 0xEE, 0x6B, 0x28, 0x00}),
                                Command(1, 0, {7, 0xFF, 0xFF, 0xFF, 0xFE}),
                                Command(1, 0, {8, 0x00, 0x00, 0x18, 0x00}),
                                Command(1, 0, {9, 0x00, 0x00, 0x80, 0x3F}),
                                Command(1, 0, {12, 0xFF, 0xFF, 0xFF, 0xFF}),  // low 32 bits of the saturated value
                                Command(2, 0, {1, 0x01}),
                            }));
}

// Press and release functions, a cycle that wraps and remembers its place,
// and buttons the definitions cannot name: nothing is sent for those, and
// nothing at all while there is no page protocol (the cycle stays put then).
TEST_F(JoystickMapping, ButtonsRunTheirFunctions)
{
    JoystickDefinitions& definitions = m_Mapping.Definitions();
    for (int n = 1; n <= 5; ++n)
        definitions.functions[static_cast<size_t>(n)] = {Item(RC_DataType::Byte, 1, 0, 3, n)};
    definitions.buttons[0].bPress = true;
    definitions.buttons[0].nPressFunction = 1;
    definitions.buttons[0].bRelease = true;
    definitions.buttons[0].nReleaseFunction = 2;
    definitions.buttons[1].bCycle = true;
    definitions.buttons[1].cycle = {3, 4, 5};

    m_Mapping.OnJoystickButtonDown(1);  // ignored: no page protocol
    EXPECT_EQ(m_Mapping.NextPressFunction(1), 3);
    m_Mapping.SetPageProtocol(&m_Pages);
    m_Mapping.OnJoystickButtonDown(0);
    m_Mapping.OnJoystickButtonUp(0);
    for (int n = 0; n < 4; ++n)
        m_Mapping.OnJoystickButtonDown(1);
    m_Mapping.OnJoystickButtonUp(1);
    m_Mapping.OnJoystickButtonDown(16);
    m_Mapping.OnJoystickButtonDown(31);
    m_Mapping.OnJoystickButtonDown(-1);
    EXPECT_EQ(SentFrames(), (std::vector<Bytes>{Command(1, 0, {3, 1}), Command(1, 0, {3, 2}), Command(1, 0, {3, 3}),
                                                Command(1, 0, {3, 4}), Command(1, 0, {3, 5}), Command(1, 0, {3, 3})}));
    EXPECT_EQ(m_Mapping.NextPressFunction(1), 4);
    EXPECT_EQ(m_Mapping.NextPressFunction(0), 1);
    EXPECT_EQ(m_Mapping.NextPressFunction(2), 0);
}

// One frame carries one subsystem, one index and one encoding: paired axes
// that differ in any of them go as two frames, each to its own address.
TEST_F(JoystickMapping, PairsShareOneFrameOnlyWhenTheAddressAndTypeAgree)
{
    JoystickDefinitions& definitions = m_Mapping.Definitions();
    definitions.axes[0] = Axis(0, RC_DataType::S16, 2, 0, 5);
    definitions.axes[1] = Axis(1, RC_DataType::S16, 2, 0, 6);
    m_Mapping.SetPageProtocol(&m_Pages);
    m_Mapping.OnJoystickXY(0.5f, -1.0f);
    definitions.axes[1].nIndex = 1;
    m_Mapping.OnJoystickXY(0.5f, -1.0f);
    definitions.axes[1].nIndex = 0;
    definitions.axes[1].nDataType = static_cast<int32_t>(RC_DataType::Fixed);
    m_Mapping.OnJoystickXY(0.0f, 0.25f);
    // A type the stick cannot send keeps its demand but sends nothing.
    definitions.axes[0].nDataType = static_cast<int32_t>(RC_DataType::Float);
    definitions.axes[1].bValid = false;
    m_Mapping.OnJoystickXY(-0.5f, 0.0f);
    EXPECT_EQ(SentFrames(), (std::vector<Bytes>{
                                Command(2, 0, {5, 0x01, 0xF4, 6, 0xFC, 0x18}),
                                Command(2, 0, {5, 0x01, 0xF4}),
                                Command(2, 1, {6, 0xFC, 0x18}),
                                Command(2, 0, {5, 0x00, 0x00}),
                                Command(2, 0, {6, 0x00, 0x0F, 0xA0, 0x00}),
                            }));
    EXPECT_DOUBLE_EQ(m_Mapping.AxisValue(0), -500.0);
    EXPECT_DOUBLE_EQ(m_Mapping.AxisValue(1), 250.0);
}
