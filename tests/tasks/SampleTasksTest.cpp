// The sample tasks, created by CLSID as the launcher creates them, each row in
// a scratch folder of its own under bin: this test program stands where a
// launcher stands, so the tasks' relative paths start at bin.
#include "ApplyStagedConfigClsid.h"
#include "CheckFilesClsid.h"
#include "StartProgramClsid.h"

#include "MessageBoxFinder.h"
#include "ScratchFolder.h"
#include "TaskHost.h"
#include "TestPaths.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <thread>

namespace
{
// Staged configurations travel byte for byte, plain or scrambled.
const std::string strNew("\x81\x00\r\nscrambled\xff", 14);

// How the task answered: its instruction after S_OK, else its HRESULT.
std::string Answer(const CAnswer& answer)
{
    const char* const instructions[] = {"continue", "reload", "stop"};
    char szHResult[16];
    std::snprintf(szHResult, sizeof szHResult, "0x%08lX", answer.hrRun);
    return answer.hrRun == S_OK ? instructions[answer.eInstruction] : szHResult;
}

// Runs the task; a box that it shows meanwhile is read and closed with OK.
std::string RunWithBox(const CLSID& clsid, const std::string& attributes)
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
                    box = " box " + window.caption + ": " + window.text;
                    PressOk(window.hwnd);
                }
            }
        });
    const std::string answer = Answer(RunTask(clsid, attributes));
    fDone = true;
    dismisser.join();
    return answer + box;
}

// What became of the files of the folder: " name=bytes" for each new or
// changed one (strNew as "new"), " name=<none>" for each one gone.
std::string Changes(const CScratchFolder& scratch, const std::map<std::string, std::string>& before)
{
    std::map<std::string, std::string> now;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.Folder()))
    {
        const std::string name = entry.path().string().substr(scratch.Folder().size() + 1);
        if (entry.is_regular_file())
            now[name] = scratch.Read(name);
    }
    std::string changes;
    for (const auto& file : before)
        changes += now.count(file.first) ? "" : " " + file.first + "=<none>";
    for (const auto& file : now)
    {
        if (!before.count(file.first) || before.at(file.first) != file.second)
            changes += " " + file.first + "=" + (file.second == strNew ? "new" : file.second);
    }
    return changes;
}
} // namespace

TEST_F(ComTest, SampleTasks)
{
    // A first box may have Wine start its desktop process, which takes over the
    // standard handles of the program that showed it and would hold CTest's
    // pipe open; the runtime keeps its own for the test's output.
    for (DWORD nStd : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        ::SetStdHandle(nStd, nullptr);
    const CLSID *pStart = &CLSID_StartProgramTask, *pApply = &CLSID_ApplyStagedConfigTask,
                *pCheck = &CLSID_CheckFilesTask;
    const std::string bin = GetBinFolder();
    const std::string event = "OstrelinTaskChild" + std::to_string(::GetCurrentProcessId());
    const HANDLE hRelease = ::CreateEventA(nullptr, TRUE, FALSE, event.c_str());
    ::SetEnvironmentVariableA("OSTRELIN_TASKS_BIN", bin.c_str());
    const char szLive[] = "Staging='{dir}\\update' Target='{dir}\\live\\Config.xml'";
    const char szOld[] = "live\\Config.xml=old", szStaged[] = " update\\Config.xml=new";
    const char szOne[] =
        "stop box Casino: The casino cannot start because a file it needs is missing:\n\n";
    const char szMore[] =
        "stop box Casino: The casino cannot start because files it needs are missing:\n\n";
    // {name} and {dir}: the row's scratch folder, its name under bin and its
    // full path; task_child writes "<current directory>|<command line>" to the
    // file it is given, then waits for the event it is given.
    const struct
    {
        const CLSID* pclsid;
        std::string files; // before the run: "name=bytes ..."
        const char* pszAttributes;
        std::string expected; // the answer, what became of the files, the box
    } cases[] = {
        {pStart, "", "Program='task_child.exe' Arguments='{dir}\\r.txt' Wait='yes'",
         "continue r.txt={bin}|{child} {dir}\\r.txt"},
        {pStart, "",
         "Program='{name}\\..\\task_child.exe' Arguments='  \"{dir}\\r.txt\"  ' "
         "WorkingDirectory='{dir}' Wait='YES' TimeoutSeconds='600' Then='stop'",
         "stop r.txt={dir}|{child}   \"{dir}\\r.txt\"  "},
        {pStart, "", "Program='task_child.exe' Arguments='{dir}\\r.txt {event}' Then='continue'",
         "continue r.txt={bin}|{child} {dir}\\r.txt {event}"},
        {pStart, "",
         "Program='task_child.exe' Arguments='{dir}\\r.txt {event}' Wait='yes' TimeoutSeconds='1'",
         "0x800705B4 r.txt={bin}|{child} {dir}\\r.txt {event}"},
        // Paths expand environment variables; arguments are passed on as written.
        {pStart, "",
         "Program='%OSTRELIN_TASKS_BIN%task_child.exe' Arguments='{dir}\\r.txt {event} "
         "%OSTRELIN_TASKS_BIN%'",
         "continue r.txt={bin}|{child} {dir}\\r.txt {event} %OSTRELIN_TASKS_BIN%"},
        // Missing: not reported as a bad working directory, its own folder.
        {pStart, "", "Program='missing.exe'", "0x80070002"},
        {pStart, "", "Program='{name}\\none\\task_child.exe' Arguments='{dir}\\r.txt'",
         "0x80070003"},
        {pStart, "", "Program='task_child.exe' TimeoutSeconds='1000000'", "0x80070057"},
        {pApply, szOld + std::string(szStaged), szLive,
         "reload update\\Config.xml=<none> live\\Config.xml=new"},
        // Only the exact name: an updater renames a file once it is complete.
        {pApply, szOld + std::string(" update\\Config.xml.new=new update\\~Config.xml=new"), szLive,
         "continue"},
        {pApply, szOld + std::string(" update\\Next.xml=new") + szStaged,
         "Staging='{name}\\update' File='Next.xml' Target='{name}/live/Config.xml'",
         "reload update\\Next.xml=<none> live\\Config.xml=new"},
        {pApply, szOld + std::string(szStaged),
         "Staging='{dir}\\none' Target='{dir}\\live\\Config.xml'", "continue"},
        {pApply, szOld + std::string(szStaged),
         "Staging='{dir}\\update' Target='{dir}\\none\\Config.xml'", "0x80070003"},
        {pApply, szOld + std::string(szStaged), "Target='{dir}\\live\\Config.xml'", "0x80070057"},
        {pCheck, "a.txt=a sub\\b.dll=b", "Files=' {name}\\a.txt ;{dir}\\sub\\b.dll;; {dir}\\sub '",
         "continue"},
        {pCheck, "a.txt=a", "Files='{name}\\a.txt;{name}\\b.dll' Quiet='Yes'", "stop"},
        {pCheck, "a.txt=a", "Files='{name}\\a.txt' Quiet='perhaps'", "0x80070057"},
        {pCheck, "a.txt=a", "Files='{name}\\gone.dll; {name}\\a.txt'",
         szOne + std::string("{dir}\\gone.dll\n\nPlease reinstall the casino.")},
        {pCheck, "a.txt=a", "Files='{name}\\gone.dll;{name}\\a.txt;{dir}\\gone'",
         szMore + std::string("{dir}\\gone.dll\n{dir}\\gone\n\nPlease reinstall the casino.")},
    };
    for (const auto& c : cases)
    {
        const CScratchFolder scratch(bin);
        const auto fill = [&](std::string text)
        {
            const std::pair<std::string, std::string> keys[] = {
                {"{name}", scratch.Name()},
                {"{dir}", scratch.Folder()},
                {"{event}", event},
                {"{bin}", bin.substr(0, bin.size() - 1)},
                {"{child}", "\"" + bin + "task_child.exe\""}};
            for (const auto& key : keys)
            {
                for (size_t i = text.find(key.first); i != std::string::npos;
                     i = text.find(key.first, i))
                    text.replace(i, key.first.size(), key.second);
            }
            return text;
        };
        std::map<std::string, std::string> before;
        std::istringstream files(c.files);
        for (std::string file; files >> file;)
        {
            const std::string name = file.substr(0, file.find('=')),
                              bytes = file.substr(name.size() + 1);
            scratch.Write(name, before[name] = bytes == "new" ? strNew : bytes);
        }
        const std::string attributes = fill(c.pszAttributes), expected = fill(c.expected);
        const std::string answer = RunWithBox(*c.pclsid, attributes);
        // A program started without waiting writes its file when it can.
        std::string outcome = answer + Changes(scratch, before);
        for (int iTry = 0; iTry < 600 && outcome != expected; ++iTry, ::Sleep(100))
            outcome = answer + Changes(scratch, before);
        EXPECT_EQ(expected, outcome) << attributes;
    }
    ::SetEvent(hRelease);
    ::CloseHandle(hRelease);

    // A reload frees unused libraries; a sample task built with mingw's static
    // runtime stays, since each unload would leak a TLS slot of that runtime
    // and a thousand reloads would abort the launcher.
    ::CoFreeUnusedLibraries();
    for (const char* pszDll : {"StartProgram.dll", "ApplyStagedConfig.dll", "CheckFiles.dll"})
        EXPECT_NE(nullptr, ::GetModuleHandleA(pszDll)) << pszDll;
}
