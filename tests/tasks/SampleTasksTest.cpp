// The sample tasks, created by CLSID as the launcher creates them, each row in
// a scratch folder of its own under bin: this test program stands where a
// launcher stands, so the tasks' relative paths start at bin.
#include "BinFolder.h"
#include "ComApartment.h"
#include "CoreHandle.h"
#include "CoreXML.h"
#include "ITask.h"
#include "MessageBoxFinder.h"
#include "SampleTaskClsids.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace
{
struct CAnswer
{
    HRESULT hrRun = E_UNEXPECTED;
    TaskInstruction eInstruction = InstructionContinue;
};

// The task created by CLSID, Init with <Task attributes/> and Run, as the
// launcher runs it.
CAnswer RunTask(const CLSID& clsid, const std::string& attributes)
{
    CAnswer answer;
    const CXMLDoc doc;
    VARIANT_BOOL fLoaded = VARIANT_FALSE;
    doc.pif()->loadXML(CComBSTR(("<Task " + attributes + "/>").c_str()), &fLoaded);
    CInterfacePtr<ITask> pifTask;
    HANDLE hRegister = nullptr;
    if (::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                           reinterpret_cast<void**>(pifTask.AcceptHere())) == S_OK &&
        fLoaded && pifTask->Init(doc.GetDocumentElement().pif(), &hRegister) == S_OK)
        answer.hrRun = pifTask->Run(&answer.eInstruction);
    return answer;
}

// Staged configurations travel byte for byte, plain or scrambled.
const std::string strNew("\x81\x00\r\nscrambled\xff", 14);

std::string g_box; // the box the task showed, read while it was up

VOID CALLBACK DismissBox(HWND, UINT, UINT_PTR, DWORD)
{
    for (const CMessageBoxWindow& window : FindMessageBoxes(::GetCurrentProcessId()))
    {
        g_box = " box " + window.caption + ": " + window.text;
        PressOk(window.hwnd);
    }
}

// How the task answered (its instruction after S_OK, else its HRESULT), the box
// it showed, closed with OK by a timer of the box's own message loop.
std::string Answer(const CLSID& clsid, const std::string& attributes)
{
    g_box.clear();
    const UINT_PTR idTimer = ::SetTimer(nullptr, 0, 50, DismissBox);
    const CAnswer answer = RunTask(clsid, attributes);
    ::KillTimer(nullptr, idTimer);
    const char* const instructions[] = {"continue", "reload", "stop"};
    char szHResult[16];
    std::snprintf(szHResult, sizeof szHResult, "0x%08lX", answer.hrRun);
    return (answer.hrRun == S_OK ? instructions[answer.eInstruction] : szHResult) + g_box;
}

// The files of the folder, " name=bytes" each (strNew as "new"), by name.
std::string Files(const CScratchFolder& scratch)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.Path()))
    {
        const std::string name = entry.path().string().substr(scratch.Path().size() + 1);
        std::string bytes;
        if (entry.is_regular_file())
            files[name] = !scratch.Read(name, bytes) ? "<none>" : bytes == strNew ? "new" : bytes;
    }
    std::string text;
    for (const auto& file : files)
        text += " " + file.first + "=" + file.second;
    return text;
}
} // namespace

TEST(Tasks, SampleTasks)
{
    const CComApartment apartment;
    ASSERT_EQ(S_OK, apartment.Status());
    // A first box may have Wine start its desktop process, which takes over the
    // standard handles of the program that showed it and would hold CTest's
    // pipe open; the runtime keeps its own for the test's output.
    for (DWORD nStd : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        ::SetStdHandle(nStd, nullptr);
    CLSID clsidStart{}, clsidApply{}, clsidCheck{};
    ASSERT_EQ(S_OK, ::CLSIDFromString(CLSID_TEXT_StartProgram, &clsidStart));
    ASSERT_EQ(S_OK, ::CLSIDFromString(CLSID_TEXT_ApplyStagedConfig, &clsidApply));
    ASSERT_EQ(S_OK, ::CLSIDFromString(CLSID_TEXT_CheckFiles, &clsidCheck));
    const CLSID *pStart = &clsidStart, *pApply = &clsidApply, *pCheck = &clsidCheck;
    const std::string bin = GetBinFolder();
    const std::string event = "OstrelinTaskChild" + std::to_string(::GetCurrentProcessId());
    const CUniqueHandle hRelease(::CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    ::SetEnvironmentVariableA("OSTRELIN_TASKS_BIN", bin.c_str());
    const char szLive[] = "Staging='{dir}\\update' Target='{dir}\\live\\Config.xml'";
    const std::string old = "live\\Config.xml=old", staged = old + " update\\Config.xml=new";
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
        std::string expected; // the answer, the box, the files after the run
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
        {pApply, staged, szLive, "reload live\\Config.xml=new"},
        // Only the exact name: an updater renames a file once it is complete.
        {pApply, old + " update\\Config.xml.new=new update\\~Config.xml=new", szLive,
         "continue " + old + " update\\Config.xml.new=new update\\~Config.xml=new"},
        // Only a file: a folder of that name stays, and so does the live file.
        {pApply, old + " update\\Config.xml\\in.xml=new", szLive,
         "continue " + old + " update\\Config.xml\\in.xml=new"},
        {pApply, staged + " update\\Next.xml=new",
         "Staging='{name}\\update' File='Next.xml' Target='{name}/live/Config.xml'",
         "reload live\\Config.xml=new update\\Config.xml=new"},
        {pApply, staged, "Staging='{dir}\\update' Target='{dir}\\none\\Config.xml'",
         "0x80070003 " + staged},
        {pApply, staged, "Target='{dir}\\live\\Config.xml'", "0x80070057 " + staged},
        {pCheck, "a.txt=a sub\\b.dll=b", "Files=' {name}\\a.txt ;{dir}\\sub\\b.dll;; {dir}\\sub '",
         "continue a.txt=a sub\\b.dll=b"},
        {pCheck, "a.txt=a", "Files='{name}\\a.txt;{name}\\b.dll' Quiet='Yes'", "stop a.txt=a"},
        {pCheck, "a.txt=a", "Files='{name}\\a.txt' Quiet='perhaps'", "0x80070057 a.txt=a"},
        {pCheck, "a.txt=a", "Files='{name}\\gone.dll; {name}\\a.txt'",
         szOne + std::string("{dir}\\gone.dll\n\nPlease reinstall the casino. a.txt=a")},
        {pCheck, "a.txt=a", "Files='{name}\\gone.dll;{name}\\a.txt;{dir}\\gone'",
         szMore +
             std::string("{dir}\\gone.dll\n{dir}\\gone\n\nPlease reinstall the casino. a.txt=a")},
    };
    for (const auto& c : cases)
    {
        const CScratchFolder scratch(bin.substr(0, bin.size() - 1), "ostrelin-");
        const std::pair<const char*, std::string> keys[] = {
            {"\\{name\\}", scratch.Name()},
            {"\\{dir\\}", scratch.Path()},
            {"\\{event\\}", event},
            {"\\{bin\\}", bin.substr(0, bin.size() - 1)},
            {"\\{child\\}", "\"" + bin + "task_child.exe\""}};
        std::string attributes = c.pszAttributes, expected = c.expected;
        for (const auto& key : keys)
        {
            attributes = std::regex_replace(attributes, std::regex(key.first), key.second);
            expected = std::regex_replace(expected, std::regex(key.first), key.second);
        }
        std::istringstream files(c.files);
        for (std::string file; files >> file;)
            scratch.Write(file.substr(0, file.find('=')), file.substr(file.find('=') + 1) == "new"
                                                              ? strNew
                                                              : file.substr(file.find('=') + 1));
        const std::string answer = Answer(*c.pclsid, attributes);
        // A program started without waiting writes its file when it can.
        std::string outcome = answer + Files(scratch);
        for (int iTry = 0; iTry < 600 && outcome != expected; ++iTry, ::Sleep(100))
            outcome = answer + Files(scratch);
        EXPECT_EQ(expected, outcome) << attributes;
    }
    ::SetEvent(hRelease.Get());

    // A reload frees unused libraries; a sample task built with mingw's static
    // runtime stays, since each unload would leak a TLS slot of that runtime
    // and a thousand reloads would abort the launcher.
    ::CoFreeUnusedLibraries();
    for (const char* pszDll : {"StartProgram.dll", "ApplyStagedConfig.dll", "CheckFiles.dll"})
        EXPECT_NE(nullptr, ::GetModuleHandleA(pszDll)) << pszDll;
}
