#include "LogCapture.h"
#include "TempDir.h"
#include "cTestScenario.h"
#include "cTestScenarioReader.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace
{
cTestScenario ReadScenario(const std::string& sXml)
{
    TempDir dir;
    dir.Write("scenario.xml", sXml);
    cTestScenario scenario;
    EXPECT_EQ(cTestScenarioReader().Read(dir.File("scenario.xml"), scenario), cTestScenarioReader::Result::kRead);
    return scenario;
}

template <typename T>
auto ValueOf(const TestStep& step)
{
    return static_cast<const T&>(*step.pValue).Get();
}
} // namespace

// Tests are the children whose tag begins with "Test"; Setup is skipped with
// "Not found", MyTest ends the list, and a test's steps end at its first
// element that is not an Item.
TEST(TestScenarioReader, TestsAreFoundByTheirTagsAndTheWalkEndsAtMyTest)
{
    LogCapture log;
    const cTestScenario scenario = ReadScenario(R"(<?xml version="1.0"?>
<CommandDefinitions>
  <Test1>
    <Item CMD="TX_MSG" Label="Mode" SubSystem="5" Index="0" Id="3" Type="Byte" Data="1"/>
    <!-- a comment between steps -->
    <Item CMD="WAIT" Seconds="5"/>
    <Item Label="no command"/>
    <Item CMD="TX_QRY" Label="Read mode" SubSystem="3"/>
    <Item CMD="FINISH"/>
    <Note/>
    <Item CMD="FINISH"/>
  </Test1>
  <Setup><Item CMD="FINISH"/></Setup>
  <TestEmpty/>
  <MyTest><Item CMD="FINISH"/></MyTest>
  <TestAfter><Item CMD="FINISH"/></TestAfter>
</CommandDefinitions>
)");
    ASSERT_EQ(scenario.TestCount(), 2u);
    EXPECT_EQ(scenario.GetTest(0).sName, "Test1");
    EXPECT_EQ(scenario.GetTest(1).sName, "TestEmpty");
    EXPECT_TRUE(scenario.GetTest(1).steps.empty());
    EXPECT_EQ(scenario.Find("TestEmpty"), 1);
    EXPECT_EQ(scenario.Find("TestAfter"), -1);
    EXPECT_EQ(log.Count("cRC_SystemTestDlg::ProcessTestList", DBG_ERR), 1);
    EXPECT_TRUE(log.Contains("Not found", DBG_ERR));

    const std::vector<TestStep>& steps = scenario.GetTest(0).steps;
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0].nKind, TestStep::kTxMsg);
    EXPECT_EQ(steps[0].sLabel, "Mode");
    EXPECT_EQ(steps[1].nKind, TestStep::kWait);
    EXPECT_EQ(steps[1].sLabel, "WAIT");
    EXPECT_EQ(steps[1].Seconds(), 5);
    EXPECT_EQ(steps[2].nKind, TestStep::kNone);
    // Only SubSystem given: the index takes it, and the item the index.
    EXPECT_EQ(steps[3].nKind, TestStep::kTxQry);
    EXPECT_EQ(steps[3].sLabel, "Read mode");
    EXPECT_EQ(steps[3].nSubSystem, 3);
    EXPECT_EQ(steps[3].nIndex, 3);
    EXPECT_EQ(steps[3].nItem, 3);
    EXPECT_EQ(steps[4].nKind, TestStep::kFinish);
    EXPECT_EQ(steps[4].sLabel, "FINISH");
}

// Numbers as the file format reads them: "%i" for addresses and the signed
// types and Byte, "%d" for U16 and U32, reals for Fixed and Float; addresses
// keep their low 8 bits.
TEST(TestScenarioReader, DataAndAddressesAreReadByType)
{
    const cTestScenario scenario = ReadScenario(R"(<CommandDefinitions><Test1>
  <Item CMD="TX_MSG" Label="a" SubSystem="0x10" Index="010" Id="0x1FF" Type="Byte" Data="0x10"/>
  <Item CMD="TX_MSG" Label="b" SubSystem="1" Type="U16" Data="0x10"/>
  <Item CMD="TX_MSG" Type="S16" Data="-0x10"/>
  <Item CMD="TX_MSG" Type="U32" Data="4294967295"/>
  <Item CMD="TX_MSG" Type="S32" Data="0x7fffffff trailing"/>
  <Item CMD="TX_MSG" Type="Fixed" Data="-1.9999"/>
  <Item CMD="TX_MSG" Type="Float" Data="2.5"/>
  <Item CMD="TX_MSG" Type="Byte" Data="300"/>
</Test1></CommandDefinitions>)");
    const std::vector<TestStep>& steps = scenario.GetTest(0).steps;
    ASSERT_EQ(steps.size(), 8u);
    EXPECT_EQ(steps[0].nSubSystem, 16);
    EXPECT_EQ(steps[0].nIndex, 8);
    EXPECT_EQ(steps[0].nItem, 255);
    EXPECT_EQ(ValueOf<RC_ByteValue>(steps[0]), 16);
    // "%d" stops at the x: 0x10 reads as 0. No Index or Id: both take SubSystem.
    EXPECT_EQ(ValueOf<RC_U16Value>(steps[1]), 0);
    EXPECT_EQ(steps[1].nIndex, 1);
    EXPECT_EQ(steps[1].nItem, 1);
    EXPECT_EQ(steps[1].sLabel, "b");
    EXPECT_EQ(steps[2].sLabel, "");
    EXPECT_EQ(steps[2].nSubSystem, 0);
    EXPECT_EQ(ValueOf<RC_S16Value>(steps[2]), -16);
    EXPECT_EQ(ValueOf<RC_U32Value>(steps[3]), 4294967295u);
    EXPECT_EQ(ValueOf<RC_S32Value>(steps[4]), 0x7fffffff);
    // Fixed keeps the real value and the raw value rounded from it.
    EXPECT_DOUBLE_EQ(steps[5].dReal, -1.9999);
    EXPECT_EQ(ValueOf<RC_FixedValue>(steps[5]), -8192);
    EXPECT_FLOAT_EQ(ValueOf<RC_FloatValue>(steps[6]), 2.5f);
    EXPECT_EQ(ValueOf<RC_ByteValue>(steps[7]), 300 & 0xFF);
}

// Each invalid step is dropped with its reason and "Failed to ProcessCmdItem()";
// the steps around it stay.
TEST(TestScenarioReader, InvalidStepsAreDroppedWithTheirReasons)
{
    LogCapture log;
    const cTestScenario scenario = ReadScenario(R"(<CommandDefinitions><Test1>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="U64" Data="5"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="u16" Data="5"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Data="5"/>
  <Item CMD="tx_msg" SubSystem="1" Id="2" Type="U16" Data="5"/>
  <Item CMD="TX_MSG" Label="kept" SubSystem="1" Id="2" Type="U16" Data="5"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="U16"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="S32" Data="none"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="Fixed" Data="524288"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="Fixed" Data="1e300"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="Fixed" Data="nan"/>
  <Item CMD="TX_MSG" SubSystem="1" Id="2" Type="Float" Data="1e39"/>
  <Item CMD="TX_MSG" Label="lowest" SubSystem="1" Id="2" Type="Fixed" Data="-524288"/>
  <Item CMD="FINISH"/>
</Test1></CommandDefinitions>)");
    EXPECT_TRUE(log.Contains("cRC_SystemTestDlg::ProcessCmdItem")) << log.Dump();
    EXPECT_EQ(log.Count("This 'Type' attribute (5) has not been handled", DBG_ERR), 1);
    EXPECT_EQ(log.Count("Could not find 'u16' in RC_DataTypesLookup", DBG_ERR), 1);
    EXPECT_EQ(log.Count("Failed to find 'Type' attribute", DBG_ERR), 1);
    EXPECT_EQ(log.Count("Could not find CMD string", DBG_ERR), 1);
    EXPECT_EQ(log.Count("Failed to find 'Data' attribute", DBG_ERR), 1);
    EXPECT_EQ(log.Count("'Data' attribute is not a number: none", DBG_ERR), 1);
    EXPECT_EQ(log.Count("does not fit the type Fixed", DBG_ERR), 3);
    EXPECT_EQ(log.Count("'Data' attribute 1e39 does not fit the type Float", DBG_ERR), 1);
    EXPECT_EQ(log.Count("Failed to ProcessCmdItem()", DBG_ERR), 10);

    const std::vector<TestStep>& steps = scenario.GetTest(0).steps;
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].sLabel, "kept");
    // -524288 x 4096 is the lowest 32-bit number: it still fits.
    EXPECT_EQ(steps[1].sLabel, "lowest");
    EXPECT_EQ(ValueOf<RC_FixedValue>(steps[1]), INT32_MIN);
    EXPECT_EQ(steps[2].nKind, TestStep::kFinish);
}

// A file that is missing or not XML is reported with the parser's reason;
// a document without CommandDefinitions has no tests.
TEST(TestScenarioReader, UnreadableFilesAreReported)
{
    LogCapture log;
    TempDir dir;
    cTestScenario scenario;
    std::string sError;
    EXPECT_EQ(cTestScenarioReader().Read(dir.File("missing.xml"), scenario, &sError),
              cTestScenarioReader::Result::kCannotOpen);
    EXPECT_FALSE(sError.empty());
    dir.Write("broken.xml", "<CommandDefinitions><Test1></CommandDefinitions>");
    EXPECT_EQ(cTestScenarioReader().Read(dir.File("broken.xml"), scenario), cTestScenarioReader::Result::kCannotOpen);
    dir.Write("other.xml", "<PageDefinitions><Test1/></PageDefinitions>");
    EXPECT_EQ(cTestScenarioReader().Read(dir.File("other.xml"), scenario), cTestScenarioReader::Result::kRead);
    EXPECT_EQ(scenario.TestCount(), 0u);
}
