// An installation's task manifest, Tasks.manifest beside Config.xml: where the
// launcher, check and where find each class, and what a manifest the system
// refuses does to a start.
#include "E2EPaths.h"
#include "Installation.h"
#include "TaskConfigText.h"
#include "TestTaskClsid.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utility>

TEST(TaskManifest, DecidesWhereEachClassComesFrom)
{
    const std::string registered = szOstrelinTestTaskClsid,
                      listed = szOstrelinManifestTestTaskClsid;
    const std::string unknown = "{2C0FFEE0-1234-4321-ABCD-0123456789AB}";
    const std::string registeredDll = GetBinFolder() + "OstrelinTestTask.dll",
                      listedDll = GetBinFolder() + "OstrelinManifestTestTask.dll";
    const struct
    {
        const char* name;
        std::string manifest;                                    // "": none; "<folder>": a folder
        std::vector<std::pair<std::string, std::string>> copies; // build's DLL -> name in bin
        std::string clsid;
        DWORD exitCode;
        std::string record; // "@" stands for the bin folder
        std::string checkShown;
        DWORD checkExitCode;
    } rows[] = {
        {"listed only in the manifest",
         TaskManifestText({{"Listed.dll", listed}}),
         {{listedDll, "Listed.dll"}},
         listed,
         0,
         "created from @\\Listed.dll, as the installation's task manifest "
         "@/../\\bin\\Tasks.manifest lists it",
         "in the installation's task manifest: created from @\\Listed.dll",
         0},
        {"in neither",
         TaskManifestText({{"Listed.dll", listed}}),
         {{listedDll, "Listed.dll"}},
         unknown,
         0,
         "not registered (0x80040154), skipped",
         "not registered as an in-process server",
         0},
        {"the manifest wins over the registry",
         TaskManifestText({{"Copy.dll", registered}}),
         {{registeredDll, "Copy.dll"}},
         registered,
         0,
         "created from @\\Copy.dll, as the installation's task manifest",
         "in the installation's task manifest: created from @\\Copy.dll",
         0},
        {"not well formed",
         "<assembly",
         {},
         registered,
         4,
         "---->\tCreateActCtx() refused the task manifest @/../\\bin\\Tasks.manifest: ",
         "the launcher ends its run in an error (exit code 4): the system refuses the task "
         "manifest: ",
         2},
        {"a folder in place of the file",
         "<folder>",
         {},
         registered,
         4,
         "---->\tCreateActCtx() refused the task manifest @/../\\bin\\Tasks.manifest: ",
         "the system refuses the task manifest: ",
         2},
        {"its DLL missing",
         TaskManifestText({{"Gone.dll", listed}}),
         {},
         listed,
         0,
         "; listed in the installation's Tasks.manifest\n",
         "in the installation's task manifest: cannot be created (0x",
         0},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        CInstallation inst("manifest");
        const auto At = [&](std::string text)
        {
            for (size_t i; (i = text.find('@')) != std::string::npos;)
                text.replace(i, 1, inst.BinFolder());
            return text;
        };
        const std::string manifestPath = inst.BinFolder() + "\\Tasks.manifest";
        if (row.manifest == "<folder>")
            ::CreateDirectoryA(manifestPath.c_str(), nullptr);
        else if (!row.manifest.empty())
            std::ofstream(manifestPath, std::ios::binary) << row.manifest;
        for (const auto& copy : row.copies)
            ::CopyFileA(copy.first.c_str(), (inst.BinFolder() + "\\" + copy.second).c_str(), FALSE);
        inst.WriteConfig(RunConfig(TaskElement(row.clsid)));

        const CSessionResult result = inst.Run("", Explained());
        EXPECT_EQ(row.exitCode, result.exitCode);
        EXPECT_TRUE(ShowsInOrder(Joined(result.records), {At(row.record)}));
        // check and where meet what the launcher meets.
        const CToolRun check =
            RunTool("ostrelin-config.exe", "check \"" + inst.ConfigPath() + "\"");
        EXPECT_EQ(row.checkExitCode, check.exitCode);
        EXPECT_TRUE(ShowsInOrder(check.output, {At(row.checkShown)}));
        const CToolRun where =
            RunTool("ostrelin-config.exe", "where \"" + inst.LauncherPath() + "\"");
        EXPECT_EQ(row.checkExitCode, where.exitCode) << where.output;
        EXPECT_TRUE(ShowsInOrder(where.output, {At(row.checkShown)}));
    }
}

// An update stages a new task with its manifest; the reload that follows
// creates it through the manifest as it is then.
TEST(TaskManifest, AReloadUsesTheManifestAsItIsThen)
{
    CInstallation inst("manifest-reload");
    const std::string staged = inst.Root() + "\\staged-";
    std::ofstream(staged + "Tasks.manifest", std::ios::binary)
        << TaskManifestText({{"Listed.dll", szOstrelinManifestTestTaskClsid}});
    std::ofstream(staged + "Config.xml", std::ios::binary)
        << RunConfig(TaskElement(szOstrelinManifestTestTaskClsid, "Instruction='2'"));
    ::CopyFileA((GetBinFolder() + "OstrelinManifestTestTask.dll").c_str(),
                (inst.BinFolder() + "\\Listed.dll").c_str(), FALSE);
    // The first pass, through the registry, moves the update in place.
    inst.WriteConfig(RunConfig(
        TaskElement(szOstrelinTestTaskClsid, "CopyFrom='" + staged + "Tasks.manifest' CopyTo='" +
                                                 inst.BinFolder() + "\\Tasks.manifest'") +
        TaskElement(szOstrelinTestTaskClsid, "CopyFrom='" + staged + "Config.xml' CopyTo='" +
                                                 inst.ConfigPath() + "' Instruction='1'")));

    const CSessionResult result = inst.Run("", Explained());
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(ShowsInOrder(
        Joined(result.records),
        {"pass 2: ",
         "created from " + inst.BinFolder() + "\\Listed.dll, as the installation's task manifest",
         "instruction 2 (stop)"}));
}
