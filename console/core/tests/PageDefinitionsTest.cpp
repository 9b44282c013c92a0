#include "LogCapture.h"
#include "TempDir.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"

#include <gtest/gtest.h>

namespace
{
const char* const kDefinitions = R"(<?xml version="1.0"?>
<PageDefinitions>
  <Page Title="Tracker" Logging="yes" LoggingSubsystem="0x05">
    <Item SubSystem="5" Index="2" Item="3" Access="RO" Label="Track mode" Type="Byte"/>
    <!-- comments are skipped -->
    <Item SubSystem="5" Item="4" Access="RW" Label="Gate" Type="U16"/>
    <Item SubSystem="5" Item="0x80" Access="RW" Label="Too high" Type="U16"/>
    <Item SubSystem="256" Item="1" Access="RW" Label="Bad subsystem" Type="U16"/>
    <Item SubSystem="5" Item="5" Access="rw" Label="Bad access" Type="U16"/>
    <Item SubSystem="5" Item="6" Access="WO" Label="Bad type" Type="u16"/>
    <Item SubSystem="5" Item="7" Access="WO" Type="String"/>
    <Item SubSystem="x" Item="8" Access="WO" Label="Letters" Type="Byte"/>
    <Separator/>
    <Item SubSystem="5" Item="9" Access="RO" Label="After the end" Type="Byte"/>
  </Page>
  <Page Title="Empty"/>
  <Page/>
  <Other/>
  <Page Title="Never read"/>
</PageDefinitions>
)";
} // namespace

// With short frames the Index attribute is ignored; invalid items are dropped
// with their line and the rest of the page stays; scanning stops at the
// first element of another kind.
TEST(PageDefinitions, ReadsPagesAndDropsInvalidItems)
{
    LogCapture log;
    TempDir dir;
    dir.Write("pages.xml", kDefinitions);
    cPageList pages;
    ASSERT_EQ(cPageDefinitionsReader(RC_Variant::ShortFrames).Read(dir.File("pages.xml"), pages),
              cPageDefinitionsReader::Result::kRead);

    ASSERT_EQ(pages.PageCount(), 3u);
    EXPECT_EQ(pages.Title(0), "Tracker");
    EXPECT_TRUE(pages.Logging(0));
    EXPECT_EQ(pages.LoggingSubsystem(0), 5);
    EXPECT_EQ(pages.Title(1), "Empty");
    EXPECT_FALSE(pages.Logging(2));
    EXPECT_EQ(pages.LoggingSubsystem(2), -1);
    EXPECT_TRUE(pages.Items(1).empty());

    const auto& items = pages.Items(0);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].nIndex, 0);
    EXPECT_EQ(items[0].Key(), 5u << 16 | 3u);
    EXPECT_EQ(items[1].eType, RC_DataType::U16);
    EXPECT_EQ(items[1].nAccess, PageItem::kReadWrite);
    EXPECT_EQ(items[2].sLabel, "No Label");
    EXPECT_EQ(items[2].pValue->Type(), RC_DataType::String);
    EXPECT_FALSE(items[2].pValue->IsValid());

    EXPECT_TRUE(log.Contains("KestrumDlg::ProcessItem", DBG_ERR));
    EXPECT_TRUE(log.Contains("'Item' attribute is invalid = 128", DBG_ERR));
    EXPECT_TRUE(log.Contains("'SubSystem' attribute is invalid = 256", DBG_ERR));
    EXPECT_TRUE(log.Contains("'Access' attribute has invalid value", DBG_ERR));
    EXPECT_TRUE(log.Contains("'Type' attribute has invalid value", DBG_ERR));
    EXPECT_TRUE(log.Contains("Failed to find 'Label' attribute", DBG_ERR));
    EXPECT_TRUE(log.Contains("Failed to find 'SubSystem' attribute", DBG_ERR));
}

// With long frames the Index is required.
TEST(PageDefinitions, LongFramesRequireIndex)
{
    LogCapture log;
    TempDir dir;
    dir.Write("pages.xml", kDefinitions);
    cPageList pages;
    ASSERT_EQ(cPageDefinitionsReader(RC_Variant::LongFrames).Read(dir.File("pages.xml"), pages),
              cPageDefinitionsReader::Result::kRead);
    ASSERT_EQ(pages.Items(0).size(), 1u);
    EXPECT_EQ(pages.Items(0)[0].nIndex, 2);
    EXPECT_TRUE(log.Contains("Failed to find 'Index' attribute", DBG_ERR));
}

TEST(PageDefinitions, UnreadableFilesLeaveNoPages)
{
    TempDir dir;
    dir.Write("broken.xml", "<PageDefinitions><Page Title=\"x\"></PageDefinitions>");
    dir.Write("other.xml", "<Pages><Page Title=\"x\"/></Pages>");
    cPageList pages;
    const cPageDefinitionsReader reader(RC_Variant::ShortFrames);
    EXPECT_EQ(reader.Read(dir.File("absent.xml"), pages), cPageDefinitionsReader::Result::kCannotOpen);
    EXPECT_EQ(reader.Read(dir.File("broken.xml"), pages), cPageDefinitionsReader::Result::kCannotOpen);
    EXPECT_EQ(reader.Read(dir.File("other.xml"), pages), cPageDefinitionsReader::Result::kRead);
    EXPECT_EQ(pages.PageCount(), 0u);
}
