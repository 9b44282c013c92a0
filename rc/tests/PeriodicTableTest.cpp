#include "cRC_PeriodicTable.h"

#include <gtest/gtest.h>

// Items of one subsystem and index share a mask; groups come out in key order;
// an item number a mask cannot hold is refused instead of written past it.
TEST(PeriodicTable, MasksPerGroupInKeyOrder)
{
    cRC_PeriodicTable table;
    EXPECT_TRUE(table.Add(7, 1, 127));
    EXPECT_TRUE(table.Add(5, 2, 0));
    EXPECT_TRUE(table.Add(5, 2, 9));
    EXPECT_TRUE(table.Add(5, 2, 9));
    EXPECT_FALSE(table.Add(5, 2, 128));

    const auto entries = table.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].nSubSystem, 5);
    EXPECT_EQ(entries[0].nIndex, 2);
    std::array<uint8_t, 16> mask{};
    mask[0] = 0x01;
    mask[1] = 0x02;
    EXPECT_EQ(entries[0].mask, mask);
    EXPECT_EQ(entries[1].nSubSystem, 7);
    EXPECT_EQ(entries[1].mask[15], 0x80);
}
