#include "CoreText.h"

#include <gtest/gtest.h>

TEST(CoreText, Placeholder2)
{
    CText str("A_B");
    EXPECT_STREQ("a_b", str.MakeLower());
}
