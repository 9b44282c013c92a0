// The console's joystick path end to end, as the console wires it: its
// settings file names the controller plug-in (the scripted test plug-in here)
// and the definitions file; Portelle loads the plug-in, whose thread delivers
// the records; the mapping sends item settings through the page protocol to
// a UDP peer on 127.0.0.1, which checks every frame byte for byte.
#include "ScriptedController.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "cJoystickDefinitionsReader.h"
#include "cJoystickMapping.h"
#include "cKestrumSettings.h"
#include "cRC_IO_Pages.h"
#include "cUserControls.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// A long-frame command with its checksum.
Bytes Command(uint8_t nSub, uint8_t nIndex, const Bytes& payload)
{
    Bytes frame = {0x99, nSub, nIndex, 0x00, static_cast<uint8_t>(payload.size())};
    frame.reserve(frame.size() + payload.size() + 1);
    for (uint8_t b : payload)
        frame.push_back(b);
    uint8_t nSum = 0;
    for (uint8_t b : frame)
        nSum = static_cast<uint8_t>(nSum + b);
    frame.push_back(nSum);
    return frame;
}

// An item and its value as Fixed (value x 4096, big-endian).
Bytes Fixed(uint8_t nItem, int32_t nValue)
{
    const uint32_t nRaw = static_cast<uint32_t>(nValue * 4096);
    return {nItem, static_cast<uint8_t>(nRaw >> 24), static_cast<uint8_t>(nRaw >> 16), static_cast<uint8_t>(nRaw >> 8),
            static_cast<uint8_t>(nRaw)};
}

Bytes Joined(const Bytes& first, const Bytes& second)
{
    Bytes bytes = first;
    bytes.reserve(first.size() + second.size());
    for (uint8_t b : second)
        bytes.push_back(b);
    return bytes;
}

// The console's joystick objects for one settings file: the page protocol
// first, then the mapping, then the controller, released in reverse.
class JoystickConsole
{
public:
    JoystickConsole(const std::string& sDefinitions, const std::string& sScript)
    {
        m_Dir.Write("joystick.xml", sDefinitions);
        ConsoleSettings console;
        console.Udp(m_Peer.Port(), 0)
            .Main("nControllerType", 1)
            .Main("sJoystickDefinitionsFile", m_Dir.File("joystick.xml"))
            .Main("sJoystickPlugin", ScriptedController::PluginPath());
        const std::string sSettings = ScriptedController::WriteSettings(m_Dir, sScript, console);
        cKestrumSettings settings;
        EXPECT_TRUE(settings.Read(sSettings));
        EXPECT_TRUE(cJoystickDefinitionsReader(settings.ControllerType())
                        .Read(settings.sJoystickDefinitionsFile, m_Mapping.Definitions()));
        EXPECT_TRUE(m_Pages.initialise(settings.m_CommsSettings, "Kestrum"));
        m_Mapping.SetPageProtocol(&m_Pages);
        m_Mapping.Connect(m_Controls);
        EXPECT_TRUE(m_Controls.InitController(settings.sJoystickPlugin, 0, sSettings, 0, 0));
    }
    ~JoystickConsole()
    {
        m_Controls.ReleaseController();
        m_Mapping.SetPageProtocol(nullptr);
    }

    // Every frame the script made the console send, once it has played.
    std::vector<Bytes> Frames()
    {
        EXPECT_TRUE(ScriptedController::WaitForJournal(m_Dir, "End"));
        const Bytes marker = Command(0x7E, 0, {0x01, 0x00});
        m_Pages.SendByte(0x7E, 0, 1, 0);
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

    const cJoystickMapping& Mapping() const { return m_Mapping; }

private:
    TempDir m_Dir;
    UdpPeer m_Peer;
    cRC_IO_Pages m_Pages{RC_Variant::LongFrames};
    cJoystickMapping m_Mapping;
    cUserControls m_Controls;
};
} // namespace

// Absolute S16 axes: full deflection is the end of the range, -1000 goes as
// its 16-bit two's complement, gain 2 on a shaped 0.75 is clamped to 1000,
// the centre event sends the middle of the range; paired axes of different
// subsystems go as two frames.
TEST(JoystickEndToEnd, AbsoluteAxesSendTheirRangeAsS16)
{
    JoystickConsole console(R"(<Joystick><Axes>
  <Axis1 sAxisName="X" nSubsystem="3" nIndex="1" nItem="6" dMin="-1000" dMax="1000" sType="S16" bPair="true" bIsIncremental="false" dGain="1"/>
  <Axis2 sAxisName="Y" nSubsystem="4" nIndex="0" nItem="7" dMin="-1000" dMax="1000" sType="S16" bPair="true" bIsIncremental="false" dGain="2"/>
</Axes><Functions/><Buttons/></Joystick>)",
                            "x=0\nx=1 y=0.775\nx=-1 y=0\nx=0.05\n");
    EXPECT_EQ(console.Frames(), (std::vector<Bytes>{
                                    Command(3, 1, {6, 0x03, 0xE8}), Command(4, 0, {7, 0x03, 0xE8}),
                                    Command(3, 1, {6, 0xFC, 0x18}), Command(4, 0, {7, 0x00, 0x00}),
                                    Command(3, 1, {6, 0x00, 0x00}), Command(4, 0, {7, 0x00, 0x00}),
                                }));
}

// Incremental Fixed axes of one subsystem and index go in one frame: each
// record adds stick x gain, the demand holds while the stick is centred and
// stops at the end of its range. Buttons: a cycle runs 3, 4, 3, 4; a press
// without a function runs nothing but its release runs; buttons above 16 run nothing.
TEST(JoystickEndToEnd, IncrementalPairAndButtons)
{
    JoystickConsole console(R"(<Joystick>
  <Axes>
    <Axis1 sAxisName="X" nSubsystem="2" nIndex="0" nItem="1" dMin="-1570" dMax="1570" sType="Fixed" bPair="true" bIsIncremental="true" dGain="10"/>
    <Axis2 sAxisName="Y" nSubsystem="2" nIndex="0" nItem="2" dMin="-350" dMax="1000" sType="Fixed" bPair="true" bIsIncremental="true" dGain="100"/>
  </Axes>
  <Functions>
    <Function2><Item1 nSubsystem="1" nIndex="0" nItem="13" sType="Byte" dValue="1"/></Function2>
    <Function3><Item1 nSubsystem="1" nIndex="0" nItem="4" sType="Byte" dValue="0"/></Function3>
    <Function4><Item1 nSubsystem="1" nIndex="0" nItem="4" sType="Byte" dValue="1"/></Function4>
  </Functions>
  <Buttons>
    <Button1><Press/><Release nFunction="2"/></Button1>
    <Button2><Press1 nFunction="3"/><Press2 nFunction="4"/></Button2>
  </Buttons>
</Joystick>)",
                            R"(repeat=1
x=1 repeat=3
x=0 repeat=2
y=-1 repeat=5
y=0
buttons=0x2
buttons=0
buttons=0x2
buttons=0
buttons=0x2
buttons=0
buttons=0x2
buttons=0
buttons=0x1
buttons=0
buttons=0x10000
buttons=0
)");
    const auto pair = [](int32_t nX, int32_t nY) { return Command(2, 0, Joined(Fixed(1, nX), Fixed(2, nY))); };
    const Bytes f3 = Command(1, 0, {4, 0});
    const Bytes f4 = Command(1, 0, {4, 1});
    EXPECT_EQ(console.Frames(), (std::vector<Bytes>{
                                    pair(10, 0), pair(20, 0), pair(30, 0), pair(30, 0),  // centred once: held
                                    pair(30, -100), pair(30, -200), pair(30, -300), pair(30, -350), pair(30, -350),
                                    pair(30, -350), f3, f4, f3, f4, Command(1, 0, {13, 1}),
                                }));
    EXPECT_DOUBLE_EQ(console.Mapping().AxisValue(0), 30.0);
    EXPECT_DOUBLE_EQ(console.Mapping().AxisValue(1), -350.0);
}
