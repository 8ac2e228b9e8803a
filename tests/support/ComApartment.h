// A test whose thread is a single-threaded COM apartment, as the launcher's
// main thread is.
#pragma once

#include <gtest/gtest.h>
#include <objbase.h>

class ComTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, ::CoInitialize(nullptr)); }
    void TearDown() override { ::CoUninitialize(); }
};
