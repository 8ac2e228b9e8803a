// Where the sample tasks' relative paths lead.
#include "TaskPaths.h"
#include "TaskTestSupport.h"

TEST(TaskPaths, RelativePathsStartAtTheConfigFolder)
{
    SetEnvironmentVariableW(L"OSTRELIN_TASKS_TEST", L"E:\\Env");
    const wchar_t szConfig[] = L"C:\\Club\\bin\\Config.xml";
    const struct
    {
        const wchar_t *pszConfigPath, *pszPath, *pszExpected;
    } cases[] = {
        {szConfig, L"..\\update", L"C:\\Club\\update"},
        {szConfig, L"Casino.exe", L"C:\\Club\\bin\\Casino.exe"},
        {L"C:\\Club\\bin/../\\bin\\Config.xml", L"client/Casino.exe",
         L"C:\\Club\\bin\\client\\Casino.exe"}, // a root without %ResourceRoot%
        {szConfig, L"D:\\Other\\.\\x.exe", L"D:\\Other\\x.exe"},
        {szConfig, L"\\\\server\\share\\a", L"\\\\server\\share\\a"},
        {szConfig, L"%OSTRELIN_TASKS_TEST%\\a", L"E:\\Env\\a"},
        {szConfig, L"%OSTRELIN_TASKS_TEST%", L"E:\\Env"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.pszExpected, ResolveTaskPathFrom(c.pszConfigPath, c.pszPath)) << c.pszPath;
}

// The test program stands where the launcher stands, in bin, without %ResourceRoot%.
TEST(TaskPaths, LiveConfigIsTheOneTheLauncherReads)
{
    EXPECT_EQ(GetBinPath(L"Config.xml"), GetLiveConfigPath());
}
