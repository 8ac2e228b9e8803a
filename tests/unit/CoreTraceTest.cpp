#include "CoreError.h"
#include "CoreTrace.h"

#include <gtest/gtest.h>

#include <string>

TEST(CoreTrace, FormatTextMeasuresAndFormats)
{
    CText str("old content is discarded");
    FormatText(str, "%s: %s %s", "Thrown", "a description", "Doc");
    EXPECT_STREQ("Thrown: a description Doc", str);
    EXPECT_EQ(25, str.GetLength());

    FormatText(str, "%hs|%d|%i|%08X", "narrow", -7, 42, 0x1234ABu);
    EXPECT_STREQ("narrow|-7|42|001234AB", str);

    const std::string strLong(5000, 'x');
    FormatText(str, "<%s>", strLong.c_str());
    EXPECT_EQ(5002, str.GetLength());

    try
    {
        FormatText(str, nullptr);
        ADD_FAILURE() << "a null format must fail";
    }
    catch (const CAtlException& e)
    {
        EXPECT_EQ(E_INVALIDARG, e.m_hr);
    }
}

TEST(CoreTrace, TraceLineFormat)
{
    const struct
    {
        CSourceLocation place;
        const char* pszExpected;
    } cases[] = {
        {{".\\CoreXML", "Mar 30 2011", 16}, ".\\CoreXML(16): m: [Mar 30 2011]\n"},
        {{"core/CoreXML.cpp", nullptr, 7}, "core/CoreXML.cpp(7): m: []\n"},
        {{nullptr, "Mar 30 2011", 16}, ""},
        {{"x", "", -1}, "x(-1): m: []\n"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.pszExpected, c.place.FormatTraceLine("m"));
}

TEST(CoreTrace, SystemMessages)
{
    const CText strKnown = GetSystemMessage(ERROR_FILE_NOT_FOUND);
    ASSERT_GT(strKnown.GetLength(), 2);
    EXPECT_STRNE("?", strKnown);
    EXPECT_STREQ("\r\n", strKnown.Mid(strKnown.GetLength() - 2, 2)) << "kept untrimmed";
    EXPECT_STREQ("?", GetSystemMessage(0x8FFF1234));
}

TEST(CoreTrace, Win32CodesAsHResults)
{
    const struct
    {
        DWORD dwCode;
        HRESULT hrExpected;
    } cases[] = {
        {0, 0},
        {5, static_cast<HRESULT>(0x80070005)},
        {0x12345, static_cast<HRESULT>(0x80072345)},
        {0x80004005, static_cast<HRESULT>(0x80004005)},
        {0x7FFFFFFF, static_cast<HRESULT>(0x8007FFFF)},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.hrExpected, HResultFromWin32(c.dwCode)) << c.dwCode;
        ::SetLastError(c.dwCode);
        EXPECT_EQ(c.hrExpected, HResultFromLastError()) << c.dwCode;
    }
}
