#include "LaunchPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
struct CTextCase
{
    const char* pszInput;
    const char* pszExpected;
};
} // namespace

TEST(LaunchPaths, ArgumentLookup)
{
    const CTextCase cases[] = {
        {"client.exe", ""},
        {"client.exe %ResourceRoot%=D:\\Card Data", "D:\\Card"},
        {"client.exe %ResourceRoot%=\"D:\\Card Data\" -x", "D:\\Card Data"},
        {"client.exe %ResourceRoot%='D:\\Card Data' -x", "D:\\Card Data"},
        {"client.exe %ResourceRoot%=\"D:\\Card Data -x", ""},
        {"client.exe %ResourceRoot%='D:\\Card Data -x", ""},
        {"client.exe %ResourceRoot%=", ""},
        {"client.exe %ResourceRoot%=\"\" -x", ""},
        {"client.exe %ResourceRoot%", ""},
        {"client.exe -a%ResourceRoot%=X %ResourceRoot%=Y", "Y"},
        {"client.exe\t%ResourceRoot%=X", ""},
        {"client.exe \"%ResourceRoot%=X", ""},
        {"%ResourceRoot%=X", ""},
        {"client.exe %ResourceRoot%:X %ResourceRoot%=Z", "Z"},
        {"client.exe %resourceroot%=X", ""},
        {"client.exe %ResourceRoot%=a'b\"c=d\te f", "a'b\"c=d\te"},
        {"client.exe %ResourceRoot%=\"a'b\"", "a'b"},
        {"client.exe %ResourceRoot%=X %ResourceRoot%=Y", "X"},
    };
    for (const CTextCase& c : cases)
    {
        EXPECT_STREQ(c.pszExpected, FindCommandLineArgument(c.pszInput, "%ResourceRoot%"))
            << c.pszInput;
        // The wide command line, read by the same rules.
        const std::string input = c.pszInput, expected = c.pszExpected;
        EXPECT_EQ(CWideText(expected.begin(), expected.end()),
                  FindCommandLineArgument(std::wstring(input.begin(), input.end()).c_str(),
                                          L"%ResourceRoot%"))
            << c.pszInput;
    }
}

TEST(LaunchPaths, ArgumentLookupReadsTheProcessCommandLine)
{
    const std::string strLine = ::GetCommandLineA();
    EXPECT_STREQ(FindCommandLineArgument(strLine.c_str(), "--gtest_filter"),
                 GetCommandLineArgument("--gtest_filter"));
}

TEST(LaunchPaths, InstanceKey)
{
    const CTextCase cases[] = {
        {"\"D:\\Program Files\\Card Room\\bin\\client.exe\" %ResourceRoot%=\"D:\\Card Data\"",
         "d:_program_files_card_room_bin"},
        {"D:/Games/Club/client.exe", "d:_games_club"},
        {"\"\\\\server\\share\\client.exe\"", "_server_share"},
        {"\"D:\\Games\\Club.\\client.exe\"", "d:_games_club"},
        {"D:\\GAMES\\CLIENT.EXE -x", "d:_games_client_exe_-x"},
        {"D:\\tools.exec\\client.exe", "d:"},
        {"client.exe", "client"},
        // The same directory however it is written; what follows ".exe" does not matter.
        {"d:\\\\games//club\\client.exe -y", "d:_games_club"},
        {"  \"D:\\Games\\Club\\client.exe\"  ", "d:_games_club"},
        {"D:\\Games\\Club/client.exe", "d:_games_club"},
        {"D:\\%Games%\\x.exe", "d:_games"},
        {".exe", "_exe"},
        {"", ""},
        {"___", ""},
    };
    for (const CTextCase& c : cases)
        EXPECT_STREQ(c.pszExpected, MakeInstanceKey(c.pszInput)) << c.pszInput;
}

TEST(LaunchPaths, ConfigurationPath)
{
    const struct
    {
        const char* pszRoot;
        const char* pszModulePath;
        const char* pszExpected;
    } cases[] = {
        {"D:\\Data", "", "D:\\Data\\bin\\Config.xml"},
        {"D:\\Data\\", "", "D:\\Data\\\\bin\\Config.xml"},
        {"rel/dir", "", "rel/dir\\bin\\Config.xml"},
        {"", "D:\\Games\\Club\\bin\\client.exe", "D:\\Games\\Club\\bin/../\\bin\\Config.xml"},
        {"", "client.exe", "./../\\bin\\Config.xml"},
    };
    for (const auto& c : cases)
    {
        EXPECT_STREQ(c.pszExpected, ResolveConfigPathFrom(c.pszRoot, c.pszModulePath))
            << c.pszRoot << " " << c.pszModulePath;
    }
}

TEST(LaunchPaths, ConfigurationPathFromTheRunningExecutable)
{
    const CText strModulePath = GetModulePath();
    ASSERT_GT(strModulePath.GetLength(), 0);
    EXPECT_EQ(strModulePath.GetLength(), static_cast<int>(strlen(strModulePath)));

    const int iBackslash = strModulePath.ReverseFind('\\');
    EXPECT_STREQ(strModulePath.Left(iBackslash) + "/../\\bin\\Config.xml", ResolveConfigPath(""));
    EXPECT_STREQ("X:\\bin\\Config.xml", ResolveConfigPath("X:"));
}

// Run by long-path-test inside a copy of this executable in a directory deeper
// than the 260-character buffer: the path must come back whole.
TEST(LaunchPaths, ReportModulePathLength)
{
    if (std::getenv("OSTRELIN_LONG_PATH_CHILD") == nullptr)
        GTEST_SKIP() << "runs only inside the copy at a long path";
    const CText strPath = GetModulePath();
    const CText strConfig = ResolveConfigPath("");
    EXPECT_EQ(strPath.Left(strPath.ReverseFind('\\')) + "/../\\bin\\Config.xml", strConfig);
    EXPECT_GT(strPath.GetLength(), MAX_PATH);
    EXPECT_EQ(CText("copy.exe"), strPath.Mid(strPath.ReverseFind('\\') + 1, -1));
}
