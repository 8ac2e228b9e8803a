#include "CoreText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace
{
struct CEditCase
{
    const char* pszInput;
    std::function<void(CText&)> edit;
    const char* pszExpected;
};

void ExpectEdits(const std::vector<CEditCase>& cases)
{
    for (const CEditCase& c : cases)
    {
        CText str(c.pszInput);
        c.edit(str);
        EXPECT_STREQ(c.pszExpected, str) << "input: " << c.pszInput;
    }
}
} // namespace

TEST(CoreText, SearchesAreCaseSensitiveAndStepByCharacters)
{
    const CText str("a.exe b.EXE c.exe");
    EXPECT_EQ(2, CText("ab.exe").Find(".exe"));
    EXPECT_EQ(-1, CText("ab.EXE").Find(".exe"));
    EXPECT_EQ(13, str.Find(".exe", 2));
    EXPECT_EQ(-1, CText("ab").Find("abc"));
    EXPECT_EQ(4, CText("a\\b/\\c").ReverseFind('\\'));
    EXPECT_EQ(-1, CText("abc").ReverseFind('\\'));
}

TEST(CoreText, EditsOfTheInstanceKeyKind)
{
    ExpectEdits({
        {" \t\r\n\v\fx y\t ", [](CText& s) { s.Trim(); }, "x y"},
        {" \t ", [](CText& s) { s.Trim(); }, ""},
        {"a_b___", [](CText& s) { s.TrimRight("_"); }, "a_b"},
        {"___", [](CText& s) { s.TrimRight("_"); }, ""},
        {"D:\\GAMES\\Club", [](CText& s) { s.MakeLower(); }, "d:\\games\\club"},
        {"a.b.c", [](CText& s) { EXPECT_EQ(2, s.Replace('.', '_')); }, "a_b_c"},
        {"a_____b", [](CText& s) { EXPECT_EQ(2, s.Replace("__", "_")); }, "a___b"},
        {"\"a\"b\"", [](CText& s) { EXPECT_EQ(3, s.Remove('"')); }, "ab"},
        {"abc", [](CText& s) { s = s.Left(2); }, "ab"},
        {"abc", [](CText& s) { s = s.Left(9); }, "abc"},
        {"abcdef", [](CText& s) { s = s.Mid(2, 3); }, "cde"},
        {"abcdef", [](CText& s) { s = s.Mid(4, -1); }, "ef"},
        {"ab", [](CText& s) { s += "cd"; }, "abcd"},
    });
}

TEST(CoreText, InvalidArgumentsRaiseTheTextLayersOwnException)
{
    const auto expectInvalidArg = [](const std::function<void()>& f)
    {
        try
        {
            f();
            ADD_FAILURE() << "no exception";
        }
        catch (const CAtlException& e)
        {
            EXPECT_EQ(E_INVALIDARG, static_cast<HRESULT>(e));
        }
    };
    expectInvalidArg([] { CText str(static_cast<const char*>(nullptr)); });
    expectInvalidArg([] { CText("a").Find(nullptr); });
    expectInvalidArg([] { CText("a").Replace("", "b"); });
    expectInvalidArg([] { CText("a").GetBufferSetLength(-1); });
}
