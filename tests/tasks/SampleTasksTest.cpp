// The sample tasks, created by CLSID as the launcher creates them, with a
// scratch folder under bin: this test program stands where a launcher stands,
// so the tasks' relative paths start at bin.
#include "ApplyStagedConfigClsid.h"
#include "CheckFilesClsid.h"
#include "StartProgramClsid.h"
#include "TaskPaths.h"

#include "DebugOutputCapture.h"
#include "MessageBoxFinder.h"
#include "ScratchFolder.h"
#include "TaskHost.h"
#include "TestPaths.h"

#include <atomic>
#include <thread>
#include <vector>

namespace
{
using SampleTasks = ComTest;
using Keys = std::vector<std::pair<std::string, std::string>>;

// The text with every key replaced by its value; {name} and {dir} are the
// scratch folder's name (relative to bin) and full path.
std::string Fill(std::string text, const CScratchFolder& scratch, Keys keys = {})
{
    keys.emplace_back("{name}", scratch.Name());
    keys.emplace_back("{dir}", scratch.Folder());
    for (const auto& key : keys)
    {
        for (size_t i = text.find(key.first); i != std::string::npos; i = text.find(key.first, i))
            text.replace(i, key.first.size(), key.second);
    }
    return text;
}

// Runs the task; a box that it shows meanwhile is read ("caption: text") and
// closed with OK.
std::pair<CAnswer, std::string> RunWithBox(const CLSID& clsid, const std::string& attributes)
{
    std::atomic<bool> fDone{false};
    std::string box;
    std::thread dismisser(
        [&]
        {
            for (; !fDone && box.empty(); ::Sleep(20))
            {
                for (const CMessageBoxWindow& window : FindMessageBoxes(::GetCurrentProcessId()))
                {
                    box = window.caption + ": " + window.text;
                    PressOk(window.hwnd);
                }
            }
        });
    const CAnswer answer = RunTask(clsid, attributes);
    fDone = true;
    dismisser.join();
    return {answer, box};
}
} // namespace

TEST(TaskPaths, RelativePathsStartAtTheConfigFolder)
{
    ::SetEnvironmentVariableW(L"OSTRELIN_TASKS_TEST", L"E:\\Env");
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
    // Without %ResourceRoot% the launcher reads the Config.xml of its own folder.
    const std::string bin = GetBinFolder() + "Config.xml";
    EXPECT_EQ(std::wstring(bin.begin(), bin.end()), GetLiveConfigPath());
}

TEST_F(SampleTasks, StartProgram)
{
    const CScratchFolder scratch(GetBinFolder());
    const std::string bin = GetBinFolder();
    const Keys keys = {{"{bin}", bin.substr(0, bin.size() - 1)},
                       {"{child}", "\"" + bin + "task_child.exe\""},
                       {"{event}", scratch.Name() + "_release"}};
    const HANDLE hRelease =
        ::CreateEventA(nullptr, TRUE, FALSE, Fill("{event}", scratch, keys).c_str());
    // Row i has the child write {dir}\i.txt: "<current directory>|<command line>".
    const struct
    {
        const char* pszAttributes;
        HRESULT hrRun;
        TaskInstruction eInstruction;
        const char* pszReport; // nullptr: nothing started
    } cases[] = {
        {"Program='task_child.exe' Arguments='{dir}\\0.txt' Wait='yes'", S_OK, InstructionContinue,
         "{bin}|{child} {dir}\\0.txt"},
        {"Program='{name}\\..\\task_child.exe' Arguments='  \"{dir}\\1.txt\"  ' "
         "WorkingDirectory='{dir}' Wait='YES' TimeoutSeconds='600' Then='stop'",
         S_OK, InstructionStop, "{dir}|{child}   \"{dir}\\1.txt\"  "},
        // The child waits for the event, which is set only at the end.
        {"Program='task_child.exe' Arguments='{dir}\\2.txt {event}' Then='continue'", S_OK,
         InstructionContinue, "{bin}|{child} {dir}\\2.txt {event}"},
        {"Program='task_child.exe' Arguments='{dir}\\3.txt {event}' Wait='yes' TimeoutSeconds='1'",
         HRESULT_FROM_WIN32(ERROR_TIMEOUT), InstructionContinue,
         "{bin}|{child} {dir}\\3.txt {event}"},
        // Missing: not reported as a bad working directory, its own folder.
        {"Program='missing.exe'", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), InstructionContinue,
         nullptr},
        {"Program='{name}\\none\\task_child.exe' Arguments='{dir}\\5.txt'",
         HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), InstructionContinue, nullptr},
        {"Program='' Arguments='{dir}\\6.txt'", E_INVALIDARG, InstructionContinue, nullptr},
        {"Program='task_child.exe' TimeoutSeconds='1000000'", E_INVALIDARG, InstructionContinue,
         nullptr},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        const auto& c = cases[i];
        const CAnswer answer =
            RunTask(CLSID_StartProgramTask, Fill(c.pszAttributes, scratch, keys));
        EXPECT_EQ(c.hrRun, answer.hrRun) << c.pszAttributes;
        EXPECT_EQ(c.eInstruction, answer.eInstruction) << c.pszAttributes;
        const std::string file = std::to_string(i) + ".txt";
        for (int iTry = 0; c.pszReport && iTry < 1200 && scratch.Read(file) == "<none>"; ++iTry)
            ::Sleep(50);
        EXPECT_EQ(c.pszReport ? Fill(c.pszReport, scratch, keys) : "<none>", scratch.Read(file))
            << c.pszAttributes;
    }
    ::SetEvent(hRelease);
    ::CloseHandle(hRelease);

    // A mistyped element is not skipped silently: the trace says what is wrong.
    CDebugOutputCapture capture;
    EXPECT_EQ(E_INVALIDARG, RunTask(CLSID_StartProgramTask, "Program='x' Then='halt'").hrRun);
    EXPECT_EQ("StartProgram: Then=\"halt\" is not one of: continue, stop\n",
              capture.Records().empty() ? "" : capture.Records()[0]);
}

TEST_F(SampleTasks, ApplyStagedConfig)
{
    // Plain or scrambled, the bytes travel as they are.
    const std::string strNew("\x81\x00\r\nscrambled\xff", 14), strOld = "<Config><Run/></Config>";
    const char szToLive[] = "Staging='{dir}\\update' Target='{dir}\\live\\Config.xml'";
    const struct
    {
        std::vector<std::string> staged; // in {dir}\update; the first is the one to take
        const char* pszAttributes;
        HRESULT hrRun;
        TaskInstruction eInstruction;
    } cases[] = {
        {{"Config.xml"}, szToLive, S_OK, InstructionReload},
        {{}, szToLive, S_OK, InstructionContinue},
        {{"Config.xml.new", "Config.xml.tmp", "~Config.xml"}, szToLive, S_OK, InstructionContinue},
        {{"Next.xml", "Config.xml"},
         "Staging='{name}\\update' File='Next.xml' Target='{name}/live/Config.xml'",
         S_OK,
         InstructionReload},
        {{"Config.xml"},
         "Staging='{dir}\\none' Target='{dir}\\live\\Config.xml'",
         S_OK,
         InstructionContinue},
        {{"Config.xml"},
         "Staging='{dir}\\update' Target='{dir}\\none\\Config.xml'",
         HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
         InstructionContinue},
        {{"Config.xml"}, "Target='{dir}\\live\\Config.xml'", E_INVALIDARG, InstructionContinue},
    };
    for (const auto& c : cases)
    {
        const CScratchFolder scratch(GetBinFolder());
        scratch.Write("live\\Config.xml", strOld);
        for (const std::string& staged : c.staged)
            scratch.Write("update\\" + staged, strNew);
        const CAnswer answer = RunTask(CLSID_ApplyStagedConfigTask, Fill(c.pszAttributes, scratch));
        EXPECT_EQ(c.hrRun, answer.hrRun) << c.pszAttributes;
        EXPECT_EQ(c.eInstruction, answer.eInstruction) << c.pszAttributes;
        const bool fMoved = c.eInstruction == InstructionReload;
        EXPECT_EQ(fMoved ? strNew : strOld, scratch.Read("live\\Config.xml")) << c.pszAttributes;
        for (size_t i = 0; i < c.staged.size(); ++i)
            EXPECT_EQ(fMoved && i == 0 ? "<none>" : strNew, scratch.Read("update\\" + c.staged[i]))
                << c.pszAttributes << " " << i;
    }
}

TEST_F(SampleTasks, CheckFilesAndStayingLoaded)
{
    const CScratchFolder scratch(GetBinFolder());
    scratch.Write("a.txt", "a");
    scratch.Write("sub\\b.dll", "b");
    const char szOne[] = "Casino: The casino cannot start because a file it needs is missing:\n\n";
    const char szMore[] = "Casino: The casino cannot start because files it needs are missing:\n\n";
    const char szEnd[] = "\nPlease reinstall the casino.";
    const struct
    {
        const char* pszAttributes;
        HRESULT hrRun;
        TaskInstruction eInstruction;
        std::string box;
    } cases[] = {
        {"Files='{name}\\a.txt' Quiet='yes'", S_OK, InstructionContinue, ""},
        {"Files=' {name}\\a.txt ;{dir}\\sub\\b.dll;; {dir}\\sub '", S_OK, InstructionContinue, ""},
        {"Files='{name}\\a.txt;{name}\\b.dll' Quiet='Yes'", S_OK, InstructionStop, ""},
        {"Files=' ; ' Quiet='yes'", S_OK, InstructionContinue, ""},
        {"Files='{name}\\a.txt' Quiet='perhaps'", E_INVALIDARG, InstructionContinue, ""},
        {"Files='{name}\\gone.dll; {name}\\a.txt'", S_OK, InstructionStop,
         szOne + std::string("{dir}\\gone.dll\n") + szEnd},
        {"Files='{name}\\gone.dll;{name}\\a.txt;{dir}\\gone'", S_OK, InstructionStop,
         szMore + std::string("{dir}\\gone.dll\n{dir}\\gone\n") + szEnd},
    };
    for (const auto& c : cases)
    {
        const auto answer = RunWithBox(CLSID_CheckFilesTask, Fill(c.pszAttributes, scratch));
        EXPECT_EQ(c.hrRun, answer.first.hrRun) << c.pszAttributes;
        EXPECT_EQ(c.eInstruction, answer.first.eInstruction) << c.pszAttributes;
        EXPECT_EQ(Fill(c.box, scratch), answer.second) << c.pszAttributes;
    }

    // A reload frees unused libraries; a sample task built with mingw's static
    // runtime stays, since each unload would leak a TLS slot of that runtime
    // and a thousand reloads would abort the launcher.
    RunTask(CLSID_StartProgramTask, "");
    RunTask(CLSID_ApplyStagedConfigTask, "");
    ::CoFreeUnusedLibraries();
    for (const char* pszDll : {"StartProgram.dll", "ApplyStagedConfig.dll", "CheckFiles.dll"})
        EXPECT_NE(nullptr, ::GetModuleHandleA(pszDll)) << pszDll;
}
