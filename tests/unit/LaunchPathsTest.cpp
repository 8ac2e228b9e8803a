#include "LaunchPaths.h"

#include <gtest/gtest.h>

TEST(LaunchPaths, Placeholder)
{
    EXPECT_STREQ("d:_games_club", MakeInstanceKey("D:/Games/Club/client.exe"));
}
