// ostrelin-config as support staff run it: reports, files and exit codes.
#include "ConfigScramble.h"
#include "InprocServerKey.h"
#include "LaunchPaths.h"
#include "MutexOwner.h"
#include "ReplacementFile.h"
#include "TestTaskClsid.h"
#include "ToolRun.h"
#include "XmlTestSupport.h"

namespace
{
const std::string strGone = "{5B0E6C1D-3A2F-4E8B-9C7D-0F1E2D3C4B5A}";
const std::string strUncreatable = "{0D6A3F2E-9B1C-4E7D-8A5F-3C2B1E0D9F8A}";
const char szGoneDll[] = "C:\\gone\\Gone.dll";

// A class of the registry's own view whose in-process server is strDll.
void RegisterClass(const std::string& strClsid, const std::string& strDll)
{
    RegisterInprocServer(strClsid, strDll);
}
} // namespace

TEST(ConfigTool, CommandsReportsAndExitCodes)
{
    const CScratchFolder folder("ostrelin-");
    // A class registered with a DLL that is gone, one whose DLL is an empty
    // file, one that is no task (the platform's DOM document), and a task.
    const std::string strEmptyDll = folder.Write("Empty.dll", "");
    RegisterClass(strGone, szGoneDll);
    RegisterClass(strUncreatable, strEmptyDll);
    const std::string strXml =
        "<Config><Run><Xml CLSID=\"{2933BF91-7B36-11D2-B20E-00C04F983E60}\"/>"
        "<None/><Gone CLSID=\"" +
        strGone + "\"/><Task CLSID=\"" + szOstrelinTestTaskClsid + "\"/><Empty CLSID=\"" +
        strUncreatable + "\"/></Run></Config>";
    const std::string strPlain = folder.Write("plain.xml", strXml);
    const std::string strEmpty = folder.Write("empty.xml", "");
    // The folder is a resource root: its bin\Config.xml is what a launcher reads.
    const std::string strRoot = strPlain.substr(0, strPlain.rfind('\\'));
    ::CreateDirectoryA((strRoot + "\\bin").c_str(), nullptr);
    const std::string strConfig = folder.File("bin\\Config.xml");
    const std::string strRenamed = folder.File("Renamed.xml");
    const std::string strBack = folder.File("back.xml");
    ASSERT_EQ(0u,
              RunTool("ostrelin-config.exe", "scramble " + strPlain + " " + strConfig).exitCode);
    ASSERT_TRUE(::CopyFileA(strConfig.c_str(), strRenamed.c_str(), FALSE));
    const std::string strSamples = GetBinFolder() + "samples\\config\\";
    const std::string strOtherName =
        "scrambled for \"Config.xml\": under the name \"Renamed.xml\" the launcher cannot read it";
    const std::string strLauncher = strRoot + "\\bin\\Ostrelin.exe";
    const std::string strOwnView = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    const std::string strReport =
        "form: scrambled for \"Config.xml\"\ndocument element: <Config>\n\"Run\": 5 child node(s)\n"
        "  child 1 of 5 <Xml> CLSID \"{2933BF91-7B36-11D2-B20E-00C04F983E60}\": registered "
        "in-process: ";
    // Each row: the arguments (narrow or wide), the exit code, and what is
    // shown, in this order.
    const auto expect =
        [](const auto& arguments, DWORD exitCode, const std::vector<std::string>& shown)
    {
        const CToolRun run = RunTool("ostrelin-config.exe", arguments);
        EXPECT_EQ(exitCode, run.exitCode) << arguments;
        EXPECT_TRUE(ShowsInOrder(run.output, shown));
        // Never the source text of a check point.
        EXPECT_TRUE(run.output.find("->") == std::string::npos &&
                    run.output.find("hRes") == std::string::npos);
    };
    // Each task created as the launcher creates it, with its explained run's reasons.
    expect("check " + strConfig, 0,
           {"registry view: " + strOwnView + ", this tool's own (no launcher at " + strLauncher +
                ")\n",
            strReport,
            ": no ITask interface (0x80004002): skipped\n  child 2 of 5 <None> CLSID \"\": not a "
            "CLSID: skipped\n  child 3 of 5 <Gone> CLSID \"" +
                strGone + "\": registered in-process: " + szGoneDll +
                ", which does not exist: skipped\n  child 4 of 5 <Task> CLSID \"" +
                szOstrelinTestTaskClsid + "\": registered in-process: ",
            "OstrelinTestTask.dll (the file exists)\n  child 5 of 5 <Empty> CLSID \"" +
                strUncreatable + "\": registered in-process: " + strEmptyDll +
                ": cannot be created (0x",
            "): not a DLL: the file is empty: skipped\nresult: the run goes through the list: 1 of "
            "5 task(s) can be created, 4 "
            "skipped\n"});
    expect("check --strict " + strConfig, 2, {"4 skipped\n"});
    expect(
        "check " + strSamples + "comment-in-run.xml", 2,
        {"form: plain\n",
         "not registered as an in-process server: skipped\n  child 2 of 3: comment node, not an "
         "element\nresult: the launcher ends its run in an error (exit code 4): child 2 is not an "
         "element\n"});
    expect("check " + strSamples + "no-run.xml", 2, {"\"Run\": missing\n", "no \"Run\" element\n"});
    expect("check " + strRenamed, 2, {"form: " + strOtherName, "\ndocument element: none\n"});
    expect("check " + strEmpty, 2, {"(exit code 4): the file is empty\n"});
    expect("check Z:\\no\\such\\Config.xml", 1, {"the file cannot be read: ", "(0x80070003)\n"});
    expect("where C:\\Games\\Casino\\bin\\Ostrelin.exe", 1,
           {"launcher: C:\\Games\\Casino\\bin\\Ostrelin.exe (no such file)\n",
            "instance key: c:_games_casino_bin\n",
            "configuration: C:\\Games\\Casino\\bin/../\\bin\\Config.xml\n"});
    expect("where --strict D:\\GAMES\\CLIENT.EXE %ResourceRoot%=\"" + strRoot + "\" -x", 2,
           {"command line: D:\\GAMES\\CLIENT.EXE %ResourceRoot%=\"" + strRoot + "\" -x\n",
            "%ResourceRoot%: " + strRoot + "\ninstance key: d:_games_client_exe_resourceroot_=",
            "configuration: " + strConfig + "\n", strReport, "4 skipped\n"});
    // A launcher beside the configuration decides the view.
    ASSERT_TRUE(::CopyFileA((GetBinFolder() + "Ostrelin.exe").c_str(), strLauncher.c_str(), FALSE));
    expect("check " + strConfig, 0,
           {"registry view: " + strOwnView + ", that of the launcher " + strLauncher + "\n",
            strReport});
    expect("scramble " + strRenamed + " " + strBack, 2, {"already scrambled for \"Config.xml\""});
    expect("show " + strRenamed, 0, {strOtherName + "\n" + strXml});
    expect("unscramble " + strRenamed + " --name Renamed.xml " + strBack, 2, {strOtherName});
    expect("unscramble " + strPlain + " " + strBack, 2, {"plain.xml is plain\n"});
    expect("unscramble " + strRenamed + " " + strBack, 0, {"it was scrambled for \"Config.xml\""});
    EXPECT_EQ(strXml, ReadBytes(WideFrom(strBack, CP_ACP)));

    // A write that fails leaves the target as it was and no file beside it:
    // the in-place write that a reader keeps from replacing its file, a
    // missing folder, and under Wine Z:\dev\full, the Unix device that is full.
    {
        const CUniqueFileHandle hReader(::CreateFileA(
            strPlain.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        expect("scramble " + strPlain + " " + strPlain, 1,
               {"cannot write " + strPlain + ": ", " (error "});
    }
    expect(
        "scramble " + strPlain + " " + strRoot + "\\no\\x.xml", 1,
        {"cannot create " + strRoot + "\\no\\x.xml: " + DescribeSystemError(ERROR_PATH_NOT_FOUND)});
    if (HasFullDevice())
        expect("scramble " + strPlain + " Z:\\dev\\full", 1,
               {"cannot write Z:\\dev\\full: " + DescribeSystemError(ERROR_DISK_FULL)});
    EXPECT_EQ(strXml, ReadBytes(WideFrom(strPlain, CP_ACP)));
    EXPECT_EQ(6, std::distance(std::filesystem::directory_iterator(folder.Path()), {}));
    expect("scramble " + strPlain + " " + strPlain, 0, {});
    EXPECT_EQ(ScrambleConfig(strXml, "plain.xml"), ReadBytes(WideFrom(strPlain, CP_ACP)));
    // The temporary name that a write which crashed left behind: another is taken.
    {
        const std::wstring strTarget = WideFrom(folder.File("taken.xml"), CP_ACP);
        const std::wstring strLeft =
            strTarget + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-1.tmp";
        ASSERT_TRUE(WriteBytes(strLeft, "left"));
        CReplacementFile file;
        ASSERT_EQ(DWORD(ERROR_SUCCESS), file.Create(strTarget));
        file.Write("new");
        EXPECT_EQ(DWORD(ERROR_SUCCESS), file.Commit());
        EXPECT_EQ("new", ReadBytes(strTarget));
        EXPECT_EQ("left", ReadBytes(strLeft));
    }

    // "Łódź" beside what the ANSI code page makes of it, each with a
    // configuration of its own: each file is read and written under its own name.
    const std::wstring strLodz = WideFrom(strRoot, CP_ACP) + L"\\\u0141\u00F3d\u017A\\bin";
    const std::wstring strAnsiLodz = WideFrom(TextFrom(strLodz, CP_ACP), CP_ACP);
    ASSERT_NE(strLodz, strAnsiLodz);
    for (const std::wstring& strBin : {strLodz, strAnsiLodz})
    {
        std::filesystem::create_directories(std::filesystem::path(strBin));
        ASSERT_TRUE(WriteBytes(strBin + L"\\plain.xml",
                               strBin == strLodz ? "<Config><Run/></Config>" : "<Other/>"));
        ASSERT_TRUE(WriteBytes(strBin + L"\\Config.xml", "<Config/>"));
    }
    const std::string strShownLodz = TextFrom(strLodz, CP_UTF8);
    expect(L"scramble " + strLodz + L"\\plain.xml " + strLodz + L"\\Config.xml", 0,
           {"scrambled for the file name \"Config.xml\"\n"});
    expect(L"show " + strLodz + L"\\Config.xml", 0,
           {"scrambled for \"Config.xml\"\n<Config><Run/></Config>"});
    expect(L"check " + strLodz + L"\\Config.xml", 0,
           {"configuration: " + strShownLodz + "\\Config.xml\n", "no task to run"});
    expect(L"where --strict " + strLodz + L"\\Ostrelin.exe", 1,
           {"launcher: " + strShownLodz + "\\Ostrelin.exe (no such file)\n",
            "configuration: " + strShownLodz + "/../\\bin\\Config.xml\n", "no task to run"});
    EXPECT_EQ(ScrambleConfig("<Config><Run/></Config>", "Config.xml"),
              ReadBytes(strLodz + L"\\Config.xml"));
    EXPECT_EQ("<Config/>", ReadBytes(strAnsiLodz + L"\\Config.xml"));
    for (const std::string& strClsid : {strGone, strUncreatable})
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\CLSID\\" + strClsid).c_str());
    ::DeleteFileA(strConfig.c_str());
    ::DeleteFileA(strLauncher.c_str());
    ::RemoveDirectoryA((strRoot + "\\bin").c_str());
}

// What support meets on a broken installation: tasks that crash, end the
// process, wait for the user or hang while created, a quoted server path, a file too large for
// memory, and the guard held.
TEST(ConfigTool, CheckSurvivesWhatItInspectsAndReportsTheGuard)
{
    const CScratchFolder folder("ostrelin-");
    const std::string strBin = GetBinFolder(), strClsid = "{7D0C2B1A-5E4F-4A3B-9C8D-1E2F3A4B5C6D}";
    const std::string strConfig = folder.Write(
        "bin\\Config.xml", "<Config><Run><Red CLSID=\"" + strClsid + "\"/></Run></Config>");
    const std::string strLauncher = folder.File("bin\\Ostrelin.exe");
    ASSERT_TRUE(::CopyFileA((strBin + "Ostrelin.exe").c_str(), strLauncher.c_str(), FALSE));
    const std::string strKey = MakeInstanceKey(strLauncher.c_str()).GetString();
    // Larger than a 32-bit size, sparse.
    const std::string strHuge = folder.File("Huge.xml");
    {
        const CUniqueFileHandle hHuge(
            ::CreateFileA(strHuge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD cb = 0;
        ::DeviceIoControl(hHuge.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &cb, nullptr);
        ASSERT_TRUE(::SetFilePointerEx(hHuge.Get(), {{0x40000000, 1}}, nullptr, FILE_BEGIN) &&
                    ::SetEndOfFile(hHuge.Get()));
    }
    const std::string strTooLarge = ": " + DescribeSystemError(ERROR_FILE_TOO_LARGE);
    // Each row: the server registered for the task, the mutex held, the arguments, the
    // exit code, and what is shown.
    const struct
    {
        std::string strServer;
        std::string strHeld;
        std::string strArguments;
        DWORD exitCode;
        std::vector<std::string> shown;
    } rows[] = {
        {strBin + "OstrelinCrashTask.dll",
         "",
         "check " + strConfig,
         2,
         {": creating this task crashes (0xC0000005 in OstrelinCrashTask.dll+0x",
          "(exit code 4): creating child 1 crashes\n"}},
        {strBin + "OstrelinExitTask.dll",
         "",
         "check " + strConfig,
         2,
         {": creating this task ends the process with exit code 7\n",
          "result: the launcher ends at once with exit code 7: creating child 1 ends"}},
        {strBin + "OstrelinHangTask.dll",
         "",
         "check " + strConfig,
         2,
         {": creating this task does not return within 20 s\n", "result: the launcher hangs: "}},
        {strBin + "OstrelinBoxTask.dll",
         "",
         "check " + strConfig,
         2,
         {": creating this task shows the window \"Faulty task asks\" and waits for the user\n",
          "result: the launcher waits for the user: creating child 1 shows the window"}},
        // What a task writes is never taken for the child's answer.
        {strBin + "OstrelinForgeTask.dll",
         "",
         "check " + strConfig,
         2,
         {": creating this task ends the process with exit code 7\n"}},
        // COM takes the quotes off, and so does check.
        {"\"" + strBin + "OstrelinCrashTask.dll\"",
         "",
         "check " + strConfig,
         2,
         {"in-process: " + strBin + "OstrelinCrashTask.dll: creating this task crashes"}},
        {"", "", "check " + strHuge, 1, {"the file cannot be read: ", "(0x800700DF)\n"}},
        {"", "", "show " + strHuge, 1, {"cannot read " + strHuge + strTooLarge}},
        {"", "", "scramble " + strHuge + " x.xml", 1, {"cannot read " + strHuge + strTooLarge}},
        {"",
         "ZembraniExclusiveMutex",
         "check " + strConfig,
         2,
         {"guard: \"ZembraniExclusiveMutex\" is owned by the updater: a start ends with exit "
          "code 2"}},
        {"", "ZembraniExclusiveMutex", "where " + strLauncher, 2, {"is owned by the updater"}},
        {"",
         strKey,
         "where " + strLauncher,
         2,
         {"guard: instance key \"" + strKey +
          "\" is held by another copy: a start ends with exit code 3"}},
    };
    for (const auto& row : rows)
    {
        if (!row.strServer.empty())
            RegisterClass(strClsid, row.strServer);
        const std::unique_ptr<CMutexOwner> pHolder(
            row.strHeld.empty() ? nullptr : new CMutexOwner(CMutexOwner::Kind::Own, row.strHeld));
        const CToolRun run = RunTool("ostrelin-config.exe", row.strArguments);
        EXPECT_EQ(row.exitCode, run.exitCode) << row.strArguments << " " << row.strServer;
        EXPECT_TRUE(ShowsInOrder(run.output, row.shown));
    }
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\CLSID\\" + strClsid).c_str());
}

TEST(ConfigTool, HelpOnEveryCommandAndUsageErrors)
{
    // Every command that help lists, a new one included: its help, and a
    // usage error for no operands and for an unknown option, with its usage.
    const CToolRun help = RunTool("ostrelin-config.exe", "help");
    size_t cCommands = 0;
    for (size_t iLine = help.output.find("\n  "); iLine != std::string::npos;
         iLine = help.output.find("\n  ", iLine + 1))
    {
        const std::string strSynopsis =
            help.output.substr(iLine + 3, help.output.find('\n', iLine + 1) - iLine - 3);
        if (strSynopsis[0] == ' ')
            continue; // a line of a command's text
        const std::string command = strSynopsis.substr(0, strSynopsis.find(' '));
        ++cCommands;
        const CToolRun run = RunTool("ostrelin-config.exe", command + " --help");
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_TRUE(ShowsInOrder(run.output, {"usage: ostrelin-config " + strSynopsis, "Exit"}));
        for (const std::string strArguments : {"", " --frob"})
        {
            const CToolRun wrong = RunTool("ostrelin-config.exe", command + strArguments);
            EXPECT_EQ(1u, wrong.exitCode) << command << strArguments;
            EXPECT_TRUE(ShowsInOrder(wrong.output, {"ostrelin-config: " + command + " needs ",
                                                    "usage: ostrelin-config " + strSynopsis}) ||
                        ShowsInOrder(wrong.output, {"ostrelin-config: unknown option \"--frob\"",
                                                    "usage: ostrelin-config " + strSynopsis}))
                << wrong.output;
        }
    }
    EXPECT_GE(cCommands, 6u) << help.output;
    // Each row: the arguments, then what is wrong, and whose usage follows.
    const std::vector<std::vector<std::string>> rows = {
        {"", "no command", "usage: ostrelin-config <command>"},
        {"frobnicate", "unknown command: frobnicate", "usage: ostrelin-config <command>"},
        {"scramble onlyone", "scramble needs <in> and <out>: too few", "config scramble <in>"},
        {"show a b", "show needs one <file>: \"b\" is one too many", "config show <file>"},
        {"scramble a b --name", "--name needs a non-empty NAME", "config scramble <in>"},
        {"check a --name b", "check takes no --name", "config check [--strict]"},
        {"show --strict a", "show takes no --strict", "config show <file>"},
    };
    for (const std::vector<std::string>& row : rows)
    {
        const CToolRun run = RunTool("ostrelin-config.exe", row[0]);
        EXPECT_EQ(1u, run.exitCode) << row[0];
        EXPECT_TRUE(ShowsInOrder(run.output, {"ostrelin-config: " + row[1] + "\n\n", row[2]}));
        // That command's usage only.
        EXPECT_EQ(row[2].find("<command>") == std::string::npos,
                  run.output.find("unscramble <in>") == std::string::npos)
            << run.output;
    }
    const CToolRun version = RunTool("ostrelin-config.exe", "--version");
    EXPECT_EQ(0u, version.exitCode);
    EXPECT_EQ("ostrelin-config " OSTRELIN_VERSION_TEXT "\n", version.output);
}
