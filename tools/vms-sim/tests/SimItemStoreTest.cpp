#include "SimTestSupport.h"
#include "cSimItemStore.h"

#include <gtest/gtest.h>

using namespace simtest;

// Variant 0 reads no Index, as the console's controller type 0 does; variant 1
// needs one on every item. An item listed twice keeps its first type.
TEST(SimItemStore, ReadsTheDefinitionsAsTheConsoleOfItsVariant)
{
    TempDir dir;
    dir.Write("pages.xml", R"(<PageDefinitions><Page Title="p">
        <Item SubSystem="5" Index="2" Item="3" Access="RW" Label="a" Type="U16"/>
        <Item SubSystem="0x10" Item="4" Access="RO" Label="b" Type="Byte"/>
        <Item SubSystem="5" Index="2" Item="3" Access="RO" Label="again" Type="U16"/>
        <Item SubSystem="5" Index="2" Item="6" Access="RO" Label="c" Type="Float"/>
        <Item SubSystem="5" Index="2" Item="6" Access="RO" Label="clash" Type="Byte"/>
    </Page></PageDefinitions>)");
    std::string sError;
    cSimItemStore v0;
    ASSERT_TRUE(v0.Load(dir.File("pages.xml"), RC_Variant::ShortFrames, sError));
    EXPECT_EQ(v0.Count(), 3u);
    EXPECT_TRUE(v0.Contains(cSimItemStore::Key(5, 0, 3)));
    EXPECT_TRUE(v0.Contains(cSimItemStore::Key(16, 0, 4)));

    cSimItemStore v1;
    ASSERT_TRUE(v1.Load(dir.File("pages.xml"), RC_Variant::LongFrames, sError));
    EXPECT_EQ(v1.Count(), 2u);
    RC_DataType eType{};
    PageItem::Access nAccess = PageItem::kReadOnly;
    ASSERT_TRUE(v1.Find(cSimItemStore::Key(5, 2, 3), eType, nAccess));
    EXPECT_EQ(nAccess, PageItem::kReadWrite);  // listed RW and RO: both ways allowed
    ASSERT_TRUE(v1.Find(cSimItemStore::Key(5, 2, 6), eType, nAccess));
    EXPECT_EQ(eType, RC_DataType::Float);
    EXPECT_EQ(v1.Conflicts(), std::vector<uint32_t>{cSimItemStore::Key(5, 2, 6)});

    EXPECT_FALSE(v1.Load(dir.File("absent.xml"), RC_Variant::ShortFrames, sError));
    EXPECT_NE(sError.find("absent.xml"), std::string::npos);
}

// Read-only items move with time (ramp, sine or counter by item number);
// the others keep what the console set.
TEST(SimItemStore, ReadOnlyItemsFollowTheirPatternInTime)
{
    cSimItemStore items;
    items.Add(1, 0, 12, RC_DataType::Byte, PageItem::kReadOnly, "ramp");
    items.Add(1, 0, 13, RC_DataType::S16, PageItem::kReadOnly, "sine");
    items.Add(1, 0, 14, RC_DataType::U32, PageItem::kReadOnly, "counter");
    items.Add(1, 0, 15, RC_DataType::Float, PageItem::kReadOnly, "saw");
    items.Add(1, 0, 18, RC_DataType::String, PageItem::kReadOnly, "text");
    items.Add(1, 0, 20, RC_DataType::U16, PageItem::kReadWrite, "kept");
    const Bytes wire = {0x01, 0x2C};
    size_t nConsumed = 0;
    ASSERT_EQ(items.Set(cSimItemStore::Key(1, 0, 20), wire.data(), 0, 2, nConsumed), cSimItemStore::eSet::Set);

    items.Advance(30.05);
    EXPECT_EQ(items.Text(cSimItemStore::Key(1, 0, 12)), std::to_string(300 % 256));  // wraps in its type
    EXPECT_EQ(items.Text(cSimItemStore::Key(1, 0, 14)), "30");
    EXPECT_EQ(items.Text(cSimItemStore::Key(1, 0, 15)), "0.500000");
    EXPECT_EQ(items.Text(cSimItemStore::Key(1, 0, 18)), "\"up 30.1 s\"");
    EXPECT_EQ(items.Text(cSimItemStore::Key(1, 0, 20)), "300");
    int nLowest = 0;
    int nHighest = 0;
    for (double dSeconds = 0.0; dSeconds < 10.0; dSeconds += 0.1)
    {
        items.Advance(dSeconds);
        const int nSine = std::stoi(items.Text(cSimItemStore::Key(1, 0, 13)));
        nLowest = std::min(nLowest, nSine);
        nHighest = std::max(nHighest, nSine);
    }
    EXPECT_LE(nLowest, -990);
    EXPECT_GE(nHighest, 990);
}
