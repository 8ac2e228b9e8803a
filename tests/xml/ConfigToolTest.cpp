// ostrelin-config as support staff run it: reports, files and exit codes.
#include "ConfigScramble.h"
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
    CUniqueRegKey key;
    ASSERT_EQ(
        0, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                             ("Software\\Classes\\CLSID\\" + strClsid + "\\InprocServer32").c_str(),
                             0, nullptr, 0, KEY_WRITE, nullptr, key.AcceptHere(), nullptr));
    ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(strDll.c_str()),
                     static_cast<DWORD>(strDll.size() + 1));
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
        "  0: <Xml> CLSID \"{2933BF91-7B36-11D2-B20E-00C04F983E60}\": registered in-process: ";
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
            ": no ITask interface (0x80004002): skipped\n  1: <None> CLSID \"\": not a "
            "CLSID: skipped\n  2: <Gone> CLSID \"" +
                strGone + "\": registered in-process: " + szGoneDll +
                ", which does not exist: skipped\n  3: <Task> CLSID \"" + szOstrelinTestTaskClsid +
                "\": registered in-process: ",
            "OstrelinTestTask.dll (the file exists)\n  4: <Empty> CLSID \"" + strUncreatable +
                "\": registered in-process: " + strEmptyDll + ": cannot be created (0x",
            "): skipped\nresult: the run goes through the list: 1 of 5 task(s) can be created, 4 "
            "skipped\n"});
    expect("check --strict " + strConfig, 2, {"4 skipped\n"});
    expect("check " + strSamples + "comment-in-run.xml", 2,
           {"form: plain\n",
            "not registered as an in-process server: skipped\n  1: comment node, not an element\n"
            "result: the launcher ends its run in an error (exit code 4): child 1 is not an "
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
    expect(L"where --strict " + strLodz + L"\\Ostrelin.exe", 0,
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

TEST(ConfigTool, HelpOnEveryCommandAndUsageErrors)
{
    for (const std::string command : {"scramble", "unscramble", "show", "check", "where"})
    {
        const CToolRun run = RunTool("ostrelin-config.exe", command + " --help");
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_TRUE(ShowsInOrder(run.output, {"usage: ostrelin-config " + command + " ", "Exit"}));
    }
    for (const char* pszArguments : {"", "frobnicate", "scramble onlyone", "show a b",
                                     "scramble a b --name", "check a --name b", "where"})
        EXPECT_EQ(1u, RunTool("ostrelin-config.exe", pszArguments).exitCode) << pszArguments;
}
