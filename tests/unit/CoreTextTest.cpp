#include "CoreText.h"

#include <gtest/gtest.h>

TEST(CoreText, Placeholder)
{
    CText str("A_B");
    EXPECT_STREQ("a_b", str.MakeLower());
}
