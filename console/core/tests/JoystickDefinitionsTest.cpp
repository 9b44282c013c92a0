#include "LogCapture.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "cJoystickDefinitionsReader.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"

#include <gtest/gtest.h>
#include <map>

namespace
{
const char* const kDefinitions = R"(<?xml version="1.0"?>
<Joystick>
  <Axes>
    <Axis1 sAxisName="Y" nSubsystem="0x02" nIndex="7" nItem="010" dMin="-350" dMax="1000" sType="Fixed"
        bPair="maybe" bIsIncremental="yes" dGain="10"/>
    <Axis2 sAxisName="Y" nSubsystem="3" nIndex="1" nItem="6" dMin="-1000" dMax="1000" sType="S16"
        bPair="true" bIsIncremental="false" dGain="1.5"/>
    <Axis3 sAxisName="X" nSubsystem="2" nItem="1" dMin="0" dMax="1" sType="S16" bPair="1" bIsIncremental="0" dGain="1"/>
  </Axes>
  <Functions>
    <Function1>
      <Item1 nSubsystem="1" nIndex="0" nItem="3" sType="Byte" dValue="3"/>
      <Item2 nSubsystem="1" nIndex="2" nItem="4" sType="Float" dValue="-2.5"/>
      <Item4 nSubsystem="1" nIndex="0" nItem="5" sType="Byte" dValue="9"/>
    </Function1>
    <Function2>
      <Item1 nSubsystem="1" nIndex="0" nItem="3" sType="Byte" dValue="3"/>
      <Item2 nSubsystem="1" nIndex="0" nItem="4" sType="Double" dValue="1"/>
    </Function2>
    <Function3>
      <Item1 nSubsystem="1" nItem="3" sType="Byte" dValue="3"/>
    </Function3>
    <Function256>
      <Item1 nSubsystem="9" nIndex="0" nItem="127" sType="U32" dValue="4e9"/>
    </Function256>
    <Function257>
      <Item1 nSubsystem="9" nIndex="0" nItem="1" sType="U32" dValue="1"/>
    </Function257>
  </Functions>
  <Buttons>
    <Button1>
      <Press/>
      <Release nFunction="2"/>
    </Button1>
    <Button2>
      <Press1 nFunction="3"/>
      <Press2 nFunction="0x4"/>
      <Press4 nFunction="5"/>
    </Button2>
    <Button3>
      <Press1 nFunction="3"/>
      <Press2/>
    </Button3>
    <Button4>
      <Release nFunction="6"/>
    </Button4>
    <Button16>
      <Press nFunction="7"/>
      <Press1 nFunction="8"/>
    </Button16>
    <Button17>
      <Press nFunction="9"/>
    </Button17>
  </Buttons>
</Joystick>
)";

JoystickDefinitions Read(const std::string& sText, RC_Variant nVariant = RC_Variant::LongFrames, bool* pbRead = nullptr)
{
    TempDir dir;
    dir.Write("joystick.xml", sText);
    JoystickDefinitions definitions;
    const bool bRead = cJoystickDefinitionsReader(nVariant).Read(dir.File("joystick.xml"), definitions);
    if (pbRead)
        *pbRead = bRead;
    return definitions;
}
} // namespace

// Axes: the slot is the one sAxisName names (a later one replaces an earlier
// one), integers take any base, a flag that decides nothing reads as false,
// and nIndex is needed only with long frames.
TEST(JoystickDefinitions, AxesFillTheSlotTheirNameNames)
{
    const JoystickDefinitions long_ = Read(kDefinitions);
    const JoystickAxisDef& y = long_.axes[1];
    ASSERT_TRUE(y.bValid);
    EXPECT_EQ(y.nSubsystem, 3);  // Axis2 replaced Axis1 in the Y slot
    EXPECT_EQ(y.nIndex, 1);
    EXPECT_EQ(y.nItem, 6);
    EXPECT_EQ(y.nDataType, 2);
    EXPECT_TRUE(y.bPair);
    EXPECT_FALSE(y.bIncremental);
    EXPECT_DOUBLE_EQ(y.dGain, 1.5);
    // Axis3 is never looked at, so the X slot stays empty.
    EXPECT_FALSE(long_.axes[0].bValid);
    EXPECT_EQ(long_.axes[0].nDataType, JoystickAxisDef::kNoType);

    // Short frames: nIndex is not read and is 0; Axis1 alone in the Y slot keeps its values.
    std::string sOnlyFirst = kDefinitions;
    sOnlyFirst.replace(sOnlyFirst.find("<Axis2"), 5, "<AxisX");
    const JoystickDefinitions short_ = Read(sOnlyFirst, RC_Variant::ShortFrames);
    const JoystickAxisDef& first = short_.axes[1];
    ASSERT_TRUE(first.bValid);
    EXPECT_EQ(first.nSubsystem, 2);
    EXPECT_EQ(first.nIndex, 0);
    EXPECT_EQ(first.nItem, 8);  // "010" is octal
    EXPECT_EQ(first.nDataType, 8);
    EXPECT_FALSE(first.bPair);  // "maybe" is present but decides nothing
    EXPECT_TRUE(first.bIncremental);
    EXPECT_DOUBLE_EQ(first.dMin, -350.0);
}

// An axis with one attribute missing or unusable changes nothing.
TEST(JoystickDefinitions, AnAxisWithAnyAttributeWrongIsIgnoredWhole)
{
    const std::string sGood =
        R"(sAxisName="X" nSubsystem="2" nIndex="0" nItem="1" dMin="-1" dMax="1" sType="S16" bPair="true" bIsIncremental="false" dGain="1")";
    const std::vector<std::pair<std::string, std::string>> spoilers = {
        {"sAxisName=\"X\"", "sAxisName=\"x\""},  {"sType=\"S16\"", "sType=\"Double\""},
        {"sType=\"S16\"", "sType=\"s16\""},      {"dGain=\"1\"", "dGain=\"fast\""},
        {"dMin=\"-1\"", "dMin=\"nan\""},         {"dMin=\"-1\"", "dMin=\"2\""},
        {"nItem=\"1\"", "nItem=\"128\""},        {"nSubsystem=\"2\"", "nSubsystem=\"2x\""},
        {"bPair=\"true\" ", ""},                 {"nIndex=\"0\" ", ""},
    };
    LogCapture log;
    for (const auto& [sFrom, sTo] : spoilers)
    {
        std::string sAttributes = sGood;
        sAttributes.replace(sAttributes.find(sFrom), sFrom.size(), sTo);
        const JoystickDefinitions definitions =
            Read("<Joystick><Axes><Axis1 " + sAttributes + "/></Axes><Functions/><Buttons/></Joystick>");
        EXPECT_FALSE(definitions.axes[0].bValid) << sTo;
        EXPECT_FALSE(definitions.axes[1].bValid) << sTo;
    }
    EXPECT_TRUE(Read("<Joystick><Axes><Axis1 " + sGood + "/></Axes></Joystick>").axes[0].bValid);
    EXPECT_TRUE(log.Contains("Axis1: sType \"Double\" is not accepted", DBG_WRN)) << log.Dump();
}

// Items are read in order until one is missing; an unusable item empties its
// function; functions are 1 to 256.
TEST(JoystickDefinitions, FunctionsStopAtAMissingItemAndEmptyOnABadOne)
{
    const JoystickDefinitions definitions = Read(kDefinitions);
    const auto& first = definitions.functions[1];
    ASSERT_EQ(first.size(), 2u);  // Item4 is never read after the missing Item3
    EXPECT_EQ(first[1].nIndex, 2);
    EXPECT_EQ(first[1].nDataType, 10);
    EXPECT_DOUBLE_EQ(first[1].dValue, -2.5);
    EXPECT_TRUE(definitions.functions[2].empty());  // Double is not a type here
    EXPECT_TRUE(definitions.functions[3].empty());  // no nIndex with long frames
    ASSERT_EQ(definitions.functions[256].size(), 1u);
    EXPECT_EQ(definitions.functions[256][0].nItem, 127);

    // With short frames Function3's item needs no index.
    EXPECT_EQ(Read(kDefinitions, RC_Variant::ShortFrames).functions[3].size(), 1u);
}

// Press and Release; Press%d cycles; a Press%d without nFunction drops the cycle.
TEST(JoystickDefinitions, ButtonsTakePressReleaseOrACycle)
{
    const JoystickDefinitions definitions = Read(kDefinitions);
    const JoystickButtonDef& release = definitions.buttons[0];
    EXPECT_FALSE(release.bPress);  // Press without nFunction...
    EXPECT_TRUE(release.bRelease);  // ...yet its Release is read
    EXPECT_EQ(release.nReleaseFunction, 2);

    const JoystickButtonDef& cycle = definitions.buttons[1];
    EXPECT_TRUE(cycle.bCycle);
    EXPECT_EQ(cycle.cycle, (std::vector<int32_t>{3, 4}));  // Press4 is after the gap

    EXPECT_FALSE(definitions.buttons[2].bCycle);
    EXPECT_TRUE(definitions.buttons[2].cycle.empty());

    // A Release without a Press is not read; Press wins over Press%d.
    EXPECT_FALSE(definitions.buttons[3].bRelease);
    EXPECT_TRUE(definitions.buttons[15].bPress);
    EXPECT_EQ(definitions.buttons[15].nPressFunction, 7);
    EXPECT_FALSE(definitions.buttons[15].bCycle);
}

// The sections are read in order and a missing one ends the reading there;
// a file that is not a joystick definitions file maps nothing.
TEST(JoystickDefinitions, MissingSectionsAndForeignFiles)
{
    const JoystickDefinitions noFunctions = Read(R"(<Joystick>
  <Axes><Axis1 sAxisName="X" nSubsystem="2" nIndex="0" nItem="1" dMin="-1" dMax="1" sType="S16" bPair="1" bIsIncremental="0" dGain="1"/></Axes>
  <Buttons><Button1><Press nFunction="1"/></Button1></Buttons>
</Joystick>)");
    EXPECT_TRUE(noFunctions.axes[0].bValid);
    EXPECT_FALSE(noFunctions.buttons[0].bPress);

    EXPECT_FALSE(Read("<Joystick><Buttons><Button1><Press nFunction=\"1\"/></Button1></Buttons></Joystick>")
                     .buttons[0]
                     .bPress);

    LogCapture log;
    bool bRead = true;
    const JoystickDefinitions settings = Read(R"(<VMS_Cfg><Joystick>
  <Axes/><Functions/><Buttons><Button1><Press nFunction="1"/></Button1></Buttons>
</Joystick></VMS_Cfg>)",
                                              RC_Variant::LongFrames, &bRead);
    EXPECT_FALSE(bRead);
    EXPECT_FALSE(settings.buttons[0].bPress);
    EXPECT_TRUE(log.Contains("Root element is VMS_Cfg and not Joystick", DBG_ERR)) << log.Dump();

    JoystickDefinitions missing;
    EXPECT_FALSE(cJoystickDefinitionsReader(RC_Variant::LongFrames).Read("/nonexistent/joystick.xml", missing));
    EXPECT_TRUE(log.Contains("KestrumDlg::ReadJoystickDefinitions (1120): Failed to find Joystick in /nonexistent/joystick.xml",
                             DBG_ERR))
        << log.Dump();
}

// The sample definitions set only items the sample pages define as settable,
// in their own types, and every button runs a function that sends something.
TEST(JoystickDefinitions, SampleSetsWritableItemsOfTheSamplePages)
{
    cPageList pages;
    ASSERT_EQ(cPageDefinitionsReader(RC_Variant::LongFrames).Read(TestPaths::SourceDir() + "/config/PageDefinitions.xml", pages),
              cPageDefinitionsReader::Result::kRead);
    std::map<uint32_t, const PageItem*> items;
    for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
        for (const PageItem& item : pages.Items(nPage))
            items.emplace(item.Key(), &item);
    const auto expectSettable = [&](int32_t nSub, int32_t nIndex, int32_t nItem, int32_t nType) {
        const uint32_t nKey = static_cast<uint32_t>(nSub << 16 | nIndex << 8 | nItem);
        const auto it = items.find(nKey);
        ASSERT_NE(it, items.end()) << nSub << "/" << nIndex << "/" << nItem;
        EXPECT_NE(it->second->nAccess, PageItem::kReadOnly) << it->second->sLabel;
        EXPECT_EQ(static_cast<int32_t>(it->second->eType), nType) << it->second->sLabel;
    };

    LogCapture log;
    JoystickDefinitions definitions;
    ASSERT_TRUE(cJoystickDefinitionsReader(RC_Variant::LongFrames)
                    .Read(TestPaths::SourceDir() + "/config/JoystickDefinitions.xml", definitions));
    EXPECT_EQ(log.Count("", DBG_WRN), 0) << log.Dump();
    for (const JoystickAxisDef& axis : definitions.axes)
    {
        ASSERT_TRUE(axis.bValid);
        expectSettable(axis.nSubsystem, axis.nIndex, axis.nItem, axis.nDataType);
    }
    int nButtons = 0;
    for (const JoystickButtonDef& button : definitions.buttons)
    {
        std::vector<int32_t> functions = button.cycle;
        if (button.bPress)
            functions.push_back(button.nPressFunction);
        if (button.bRelease)
            functions.push_back(button.nReleaseFunction);
        nButtons += functions.empty() ? 0 : 1;
        for (int32_t nFunction : functions)
        {
            ASSERT_GE(nFunction, 1);
            ASSERT_LE(nFunction, JoystickDefinitions::kFunctions);
            const auto& settings = definitions.functions[static_cast<size_t>(nFunction)];
            EXPECT_FALSE(settings.empty()) << "Function" << nFunction;
            for (const JoystickFunctionItem& item : settings)
                expectSettable(item.nSubsystem, item.nIndex, item.nItem, item.nDataType);
        }
    }
    EXPECT_EQ(nButtons, 5);
}
