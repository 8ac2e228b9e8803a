// A start's explain file at its ends: its last record fits in a full file, its
// files are always new ones, and its summary counts its last pass.
#include "CoreHandle.h"
#include "E2EPaths.h"
#include "Installation.h"
#include "TestTaskClsid.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

namespace
{
std::string Config(const std::string& tasks)
{
    return "<Config><Run>" + tasks + "</Run></Config>";
}

std::string Task(const std::string& attributes = "")
{
    return "<Task CLSID=\"" + std::string(szOstrelinTestTaskClsid) + "\" " + attributes + "/>";
}

// The names a start of process dwPid takes from a second ago to 5 s ahead.
std::vector<std::string> StartFileNames(DWORD dwPid, const std::string& extension)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FILETIME time;
    ::SystemTimeToFileTime(&now, &time);
    std::vector<std::string> names;
    for (int nSecond = -1; nSecond <= 5; ++nSecond)
    {
        ULARGE_INTEGER at = {};
        at.LowPart = time.dwLowDateTime;
        at.HighPart = time.dwHighDateTime;
        at.QuadPart += nSecond * 10000000LL;
        FILETIME then;
        then.dwLowDateTime = at.LowPart;
        then.dwHighDateTime = at.HighPart;
        SYSTEMTIME t;
        ::FileTimeToSystemTime(&then, &t);
        char szName[64];
        std::snprintf(szName, sizeof szName, "Ostrelin-%04u%02u%02u-%02u%02u%02u-%lu%s", t.wYear,
                      t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                      static_cast<unsigned long>(dwPid), extension.c_str());
        names.push_back(szName);
    }
    return names;
}

// A program started as at logon (no debugger) with OSTRELIN_EXPLAIN=folder,
// suspended while beforeStart(its process id) runs; its exit code.
DWORD RunAsAtLogon(std::string commandLine, const std::string& folder,
                   const std::function<void(DWORD)>& beforeStart)
{
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", folder.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL fStarted = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                           CREATE_SUSPENDED, nullptr, nullptr, &startup, &process);
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
    if (!fStarted)
        return ~0u;
    const CUniqueHandle hProcess(process.hProcess), hThread(process.hThread);
    beforeStart(process.dwProcessId);
    ::ResumeThread(hThread.Get());
    DWORD dwExitCode = ~0u;
    if (::WaitForSingleObject(hProcess.Get(), CRunOptions().timeoutMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(hProcess.Get(), &dwExitCode);
    return dwExitCode;
}
} // namespace

TEST(ExplainFile, ItsLastRecordFitsAndItsFilesAreNew)
{
    CInstallation inst("ends");
    // A class whose creation crashes, listed in the installation's task manifest.
    const std::string crash = "{C4A5E0D2-7B1F-4E83-9A6C-2D0E5F7B1A93}";
    ASSERT_TRUE(::CopyFileA((GetBinFolder() + "OstrelinCrashTask.dll").c_str(),
                            (inst.BinFolder() + "\\OstrelinCrashTask.dll").c_str(), FALSE));
    std::ofstream(inst.BinFolder() + "\\Tasks.manifest")
        << "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
           "<assemblyIdentity type=\"win32\" name=\"Ends\" version=\"1.0.0.0\"/>"
           "<file name=\"OstrelinCrashTask.dll\"><comClass clsid=\""
        << crash << "\" threadingModel=\"Apartment\"/></file></assembly>";
    const std::string probe = "\"" + GetBinFolder() + "ostrelin-abnormal-probe.exe\"";
    const struct
    {
        const char* pszCase;
        std::string commandLine;
        std::string config;
        std::string planted; // files of the start's own names made first: their extension
        DWORD exitCode;
        std::vector<std::string> records; // in the start's own .txt, when it has one
    } rows[] = {
        {"records past the cap, then an abort",
         probe + " fill",
         "",
         "",
         4,
         {"Ostrelin ", "xxxx\n", "Ostrelin: explain file full (10 MB)", "abort() called"}},
        {"the start's .txt there already", inst.CommandLine(), Config(Task()), ".txt", 0, {}},
        {"its minidump's name there already",
         inst.CommandLine(),
         Config(Task("Crash='access'")),
         ".dmp",
         4,
         {"crash: exception 0xC0000005"}},
        // The crash context names the child being created, never the one that ended.
        {"a crash while the next child is created",
         inst.CommandLine(),
         Config(Task() + "<Crash CLSID='" + crash + "'/>"),
         "",
         4,
         {"crash: exception 0xC0000005", "; while running child 2 of 2 <Crash> CLSID="}},
    };
    int iRow = 0;
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszCase);
        const std::string folder = inst.Root() + "\\logs" + std::to_string(++iRow);
        ::CreateDirectoryA(folder.c_str(), nullptr);
        inst.WriteConfig(row.config);
        std::vector<std::string> planted;
        const DWORD dwExitCode =
            RunAsAtLogon(row.commandLine, folder,
                         [&](DWORD dwPid)
                         {
                             if (!row.planted.empty())
                                 planted = StartFileNames(dwPid, row.planted);
                             for (const std::string& name : planted)
                                 std::ofstream(folder + "\\" + name, std::ios::binary) << "kept";
                         });
        EXPECT_EQ(row.exitCode, dwExitCode);
        for (const std::string& name : planted)
            EXPECT_TRUE(ReadBytes(WideFrom(folder + "\\" + name, CP_ACP)) == "kept") << name;
        WIN32_FIND_DATAA data;
        const HANDLE hFind = ::FindFirstFileA((folder + "\\Ostrelin-*.txt").c_str(), &data);
        std::string records;
        for (bool fMore = hFind != INVALID_HANDLE_VALUE; fMore;
             fMore = ::FindNextFileA(hFind, &data))
        {
            const std::string bytes = ReadBytes(WideFrom(folder + "\\" + data.cFileName, CP_ACP));
            if (bytes != "kept")
                records = bytes;
        }
        if (hFind != INVALID_HANDLE_VALUE)
            ::FindClose(hFind);
        EXPECT_TRUE(ShowsInOrder(records, row.records));
        EXPECT_LE(records.size(), 10u * 1024 * 1024);
    }
}

// A reload starts a new pass; the summary of a run is its last pass's.
TEST(ExplainFile, TheSummaryCountsTheLastPass)
{
    CInstallation inst("summary");
    inst.WriteConfig(Config("<Bad CLSID='nope'/>" + Task("Name='r' ReloadCount='2'")));
    CRunOptions options;
    options.environment = {"OSTRELIN_EXPLAIN=1"};
    const CSessionResult result = inst.Run("", options);
    EXPECT_EQ(0u, result.exitCode);
    std::string records;
    for (const std::string& record : result.records)
        records += record;
    EXPECT_TRUE(ShowsInOrder(records, {"Ostrelin: pass 3: ",
                                       "Ostrelin: run ends: 1 of 2 children ran, 1 skipped: "
                                       "child 1 <Bad> not a CLSID\n"}));
}
