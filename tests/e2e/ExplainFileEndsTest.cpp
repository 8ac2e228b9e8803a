// A start's explain file at its ends: its last record fits in a full file, its
// files are always new ones, and its summary counts its last pass.
#include "E2EPaths.h"
#include "Installation.h"
#include "TaskConfigText.h"
#include "TestTaskClsid.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

namespace
{
std::string Task(const std::string& attributes = "")
{
    return TaskElement(szOstrelinTestTaskClsid, attributes);
}

// The names a start of process dwPid takes from a second ago to 5 s ahead.
std::vector<std::string> StartFileNames(DWORD dwPid, const std::string& extension)
{
    std::vector<std::string> names;
    for (std::time_t t = std::time(nullptr) - 1, end = t + 7; t < end; ++t)
    {
        char szTime[32];
        std::strftime(szTime, sizeof szTime, "%Y%m%d-%H%M%S", std::localtime(&t));
        names.push_back("Ostrelin-" + std::string(szTime) + "-" + std::to_string(dwPid) +
                        extension);
    }
    return names;
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
        << TaskManifestText({{"OstrelinCrashTask.dll", crash}});
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
        {"the start's .txt there already", inst.CommandLine(), RunConfig(Task()), ".txt", 0, {}},
        {"its minidump's name there already",
         inst.CommandLine(),
         RunConfig(Task("Crash='access'")),
         ".dmp",
         4,
         {"crash: exception 0xC0000005"}},
        // The crash context names the child that runs, or is being created,
        // never the one that ended.
        {"a crash while a child runs",
         inst.CommandLine(),
         RunConfig(Task() + Task("Crash='divide'")),
         "",
         4,
         {"crash: exception 0xC0000094", "; while running child 2 of 2 <Task> CLSID="}},
        {"a crash while the next child is created",
         inst.CommandLine(),
         RunConfig(Task() + "<Crash CLSID='" + crash + "'/>"),
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
        const DWORD dwExitCode = CInstallation::RunCommandLineAsAtLogon(
            row.commandLine, folder,
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
        std::string records; // the start's own file, among the planted ones
        for (const auto& file : ExplainFiles(ReadFolder(folder)))
            records = file.second != "kept" ? file.second : records;
        EXPECT_TRUE(ShowsInOrder(records, row.records));
        EXPECT_LE(records.size(), 10u * 1024 * 1024);
    }
}

// A reload starts a new pass; the summary of a run is its last pass's.
TEST(ExplainFile, TheSummaryCountsTheLastPass)
{
    CInstallation inst("summary");
    inst.WriteConfig(RunConfig("<Bad CLSID='nope'/>" + Task("Name='r' ReloadCount='2'")));
    const CSessionResult result = inst.Run("", Explained());
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(
        ShowsInOrder(Joined(result.records),
                     {"Ostrelin: pass 3: ", "Ostrelin: run ends: 1 of 2 children ran, 1 skipped: "
                                            "child 1 <Bad> not a CLSID\n"}));
}
