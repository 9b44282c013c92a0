#include "cToolOptions.h"

#include <climits>
#include <gtest/gtest.h>

// A number counts only when the whole text is one, in range; a refused text
// leaves the value as it was.
TEST(ToolOptions, IntegersMustFillTheTextAndTheRange)
{
    long nValue = 7;
    for (const char* szBad : {"", "5x", "5 ", "x5", "1.5", "256", "-1", "99999999999999999999"})
    {
        EXPECT_FALSE(cToolOptions::ParseInteger(szBad, 0, 255, 10, nValue)) << szBad;
        EXPECT_EQ(nValue, 7) << szBad;
    }
    EXPECT_TRUE(cToolOptions::ParseInteger("255", 0, 255, 10, nValue));
    EXPECT_EQ(nValue, 255);
    EXPECT_TRUE(cToolOptions::ParseInteger("-3", -5, 5, 10, nValue));
    EXPECT_EQ(nValue, -3);

    // Base 0 takes hex and octal; decimal-only does not read "0x10" as 0.
    EXPECT_TRUE(cToolOptions::ParseInteger("0x10", 0, LONG_MAX, 0, nValue));
    EXPECT_EQ(nValue, 16);
    EXPECT_TRUE(cToolOptions::ParseInteger("010", 0, LONG_MAX, 0, nValue));
    EXPECT_EQ(nValue, 8);
    EXPECT_FALSE(cToolOptions::ParseInteger("0x10", 0, LONG_MAX, 10, nValue));
    EXPECT_EQ(nValue, 8);
}
