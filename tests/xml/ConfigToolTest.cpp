// ostrelin-config as support staff run it: reports, files and exit codes.
#include "ToolRun.h"
#include "XmlTestSupport.h"

#include <fstream>
#include <sstream>

namespace
{
const std::string strGone = "{5B0E6C1D-3A2F-4E8B-9C7D-0F1E2D3C4B5A}";
const std::string strGoneKey = "Software\\Classes\\CLSID\\" + strGone;
const char szGoneDll[] = "C:\\gone\\Gone.dll";
} // namespace

TEST(ConfigTool, CommandsReportsAndExitCodes)
{
    // A class registered with a DLL that is gone.
    CUniqueRegKey key;
    ASSERT_EQ(0, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (strGoneKey + "\\InprocServer32").c_str(), 0,
                                   nullptr, 0, KEY_WRITE, nullptr, key.AcceptHere(), nullptr));
    ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(szGoneDll),
                     sizeof szGoneDll);
    key.Close();

    const CScratchFolder folder("ostrelin-");
    const std::string strXml =
        "<Config><Run><Xml CLSID=\"{2933BF91-7B36-11D2-B20E-00C04F983E60}\"/>"
        "<None/><Gone CLSID=\"" +
        strGone + "\"/></Run></Config>";
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
        "form: scrambled for \"Config.xml\"\ndocument element: <Config>\n\"Run\": 3 child node(s)\n"
        "  0: <Xml> CLSID \"{2933BF91-7B36-11D2-B20E-00C04F983E60}\": registered in-process: ";

    // Each row: the arguments, the exit code, and what is shown, in this order.
    const auto expect =
        [](const std::string& arguments, DWORD exitCode, const std::vector<std::string>& shown)
    {
        const CToolRun run = RunTool("ostrelin-config.exe", arguments);
        EXPECT_EQ(exitCode, run.exitCode) << arguments;
        EXPECT_TRUE(ShowsInOrder(run.output, shown));
        // Never the source text of a check point.
        EXPECT_TRUE(run.output.find("->") == std::string::npos &&
                    run.output.find("hRes") == std::string::npos);
    };
    expect("check " + strConfig, 0,
           {"registry view: " + strOwnView + ", this tool's own (no launcher at " + strLauncher +
                ")\n",
            strReport, " (the file exists)\n  1: <None> CLSID \"\": not a CLSID: skipped\n",
            "  2: <Gone> CLSID \"" + strGone + "\": registered in-process: " + szGoneDll +
                ", which does not exist: skipped\n",
            "result: the run goes through the list: 1 of 3 task(s) can be created, 2 skipped\n"});
    expect("check --strict " + strConfig, 2, {"2 skipped\n"});
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
            "configuration: " + strConfig + "\n", strReport, "2 skipped\n"});
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
    std::ostringstream back;
    back << std::ifstream(strBack, std::ios::binary).rdbuf();
    EXPECT_EQ(strXml, back.str());
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, strGoneKey.c_str());
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
