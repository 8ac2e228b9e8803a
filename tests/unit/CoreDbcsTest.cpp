// Runs with the double-byte ANSI code page 932 (LC_ALL=ja_JP.UTF-8 under Wine).
// Trail bytes of code page 932 include '\\' (0x5C), '_' (0x5F) and 'A'-'Z'.
#include "CoreText.h"
#include "LaunchPaths.h"

#include <gtest/gtest.h>

namespace
{
// "表" and "ソ" end in 0x5C, "ダ" ends in '_', "ア" ends in 'A'.
const char szHyo[] = "\x95\x5C";
const char szSo[] = "\x83\x5C";
const char szDa[] = "\x83\x5F";
const char szA[] = "\x83\x41";

CText Join(std::initializer_list<const char*> parts)
{
    CText str;
    for (const char* psz : parts)
        str += psz;
    return str;
}
} // namespace

TEST(Dbcs, RunsUnderADoubleByteCodePage)
{
    ASSERT_EQ(932u, ::GetACP());
}

TEST(Dbcs, TrailBytesNeverMatchSingleByteCharacters)
{
    const CText strPath = Join({"C:\\", szHyo, "x"});
    EXPECT_EQ(2, strPath.ReverseFind('\\'));
    EXPECT_EQ(-1, Join({szSo}).Find("\\"));

    CText strUnderscores = Join({"a", szDa, "_"});
    strUnderscores.TrimRight("_");
    EXPECT_STREQ(Join({"a", szDa}), strUnderscores);

    CText strLetters = Join({szA, "B"});
    strLetters.MakeLower();
    EXPECT_STREQ(Join({szA, "b"}), strLetters);

    CText strReplaced = Join({szSo, "\\"});
    EXPECT_EQ(1, strReplaced.Replace('\\', '_'));
    EXPECT_STREQ(Join({szSo, "_"}), strReplaced);
    EXPECT_EQ(1, strReplaced.Remove('_'));
    EXPECT_STREQ(szSo, strReplaced);
}

TEST(Dbcs, ALeadByteAtTheVeryEndStaysInsideTheText)
{
    const CText str("ab\x83");
    EXPECT_EQ(1, str.CharLength(2));
    EXPECT_EQ(-1, str.Find("\x83\x5C"));
    EXPECT_STREQ("ab\x83", MakeInstanceKey("AB\x83"));
}

TEST(Dbcs, LaunchPathsKeepDoubleByteCharactersWhole)
{
    const struct
    {
        CText strCommandLine;
        CText strKey;
    } keys[] = {
        {Join({"C:\\", szHyo, "\\client.exe"}), Join({"c:_", szHyo})},
        {Join({"\"C:\\", szDa, "\\client.exe\""}), Join({"c:_", szDa})},
        {Join({"C:\\", szA, "\\client.exe"}), Join({"c:_", szA})},
        {Join({"C:\\", szSo, szSo, "\\bin\\client.exe"}), Join({"c:_", szSo, szSo, "_bin"})},
    };
    for (const auto& c : keys)
        EXPECT_STREQ(c.strKey, MakeInstanceKey(c.strCommandLine)) << c.strCommandLine.GetString();

    EXPECT_STREQ(Join({"D:\\", szSo}),
                 FindCommandLineArgument(Join({"x.exe %ResourceRoot%=D:\\", szSo, " -y"}),
                                         "%ResourceRoot%"));
    // A blank that is the second byte of a lead byte's character is not the
    // blank before the name.
    EXPECT_STREQ("", FindCommandLineArgument("x.exe \x83 %ResourceRoot%=D:\\x", "%ResourceRoot%"));
    EXPECT_STREQ("E:\\y",
                 FindCommandLineArgument("x.exe \x83 %ResourceRoot%=D:\\x %ResourceRoot%=E:\\y",
                                         "%ResourceRoot%"));
    EXPECT_STREQ(Join({"C:\\", szSo, "/../\\bin\\Config.xml"}),
                 ResolveConfigPathFrom(CText(), Join({"C:\\", szSo, "\\client", szSo})));
}
