#include "XmlTestSupport.h"

#include <fstream>
#include <iterator>

namespace
{
// The exit code, and the report with its lines ending in LF.
std::pair<DWORD, std::string> RunTool(const std::string& strArguments)
{
    auto result = CChildProcess("ostrelin-config.exe", strArguments).Finish();
    result.second.erase(std::remove(result.second.begin(), result.second.end(), '\r'),
                        result.second.end());
    return result;
}

void ExpectReport(const std::string& strArguments, DWORD dwExitCode,
                  std::initializer_list<const char*> parts)
{
    const auto result = RunTool(strArguments);
    EXPECT_EQ(dwExitCode, result.first) << strArguments;
    for (const char* pszPart : parts)
        EXPECT_NE(std::string::npos, result.second.find(pszPart)) << pszPart << result.second;
}

std::string ReadBytes(const std::string& strPath)
{
    std::ifstream file(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* const kUpdate = "  0: <Update> CLSID \"{6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}\": "
                            "parses as {6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}; not registered "
                            "as an in-process server: skipped\n";

TEST(ConfigTool, CheckSamples)
{
    const std::string strCheck = "check " + GetBinFolder() + "samples\\config\\";
    ExpectReport(strCheck + "normal.xml", 0,
                 {"form: plain\ndocument element: <Config>\n\"Run\": 2 child node(s)\n", kUpdate,
                  "  1: <Lobby> CLSID \"{0B9D8E7F-6A5B-4C3D-8E2F-1A0B9C8D7E6F}\"",
                  "result: the run goes through the list; 0 of 2 task(s) registered\n"});
    ExpectReport(strCheck + "comment-in-run.xml", 2,
                 {"\"Run\": 3 child node(s)\n", kUpdate,
                  "  1: comment node, not an element: HRESULT: 0x80004002",
                  "result: the launcher ends its run here, at child 1\n"});
    ExpectReport(strCheck + "no-run.xml", 2,
                 {"\"Run\": missing\nresult: the launcher ends its run here\n"});
    ExpectReport(strCheck + "empty-run.xml", 0,
                 {"\"Run\": 0 child node(s)\nresult: no task to run; the run ends normally\n"});
}

TEST(ConfigTool, ScrambledFilesAndRegisteredTasks)
{
    CScratchFolder folder;
    const std::string strPlain = folder.Write(
        "plain.xml", "<Config><Run><Xml CLSID=\"{2933BF91-7B36-11D2-B20E-00C04F983E60}\"/>"
                     "<None/><Bad CLSID=\"nonsense\"/></Run></Config>");
    const std::string strConfig = folder.Path("Config.xml");
    const std::string strBack = folder.Path("back.xml");
    const std::string strRenamed = folder.Path("Renamed.xml");

    EXPECT_EQ(0u, RunTool("scramble " + strPlain + " " + strConfig).first);
    EXPECT_NE(ReadBytes(strPlain), ReadBytes(strConfig));
    EXPECT_EQ(2u, RunTool("scramble " + strConfig + " " + strBack).first); // not twice
    EXPECT_EQ(0u, RunTool("unscramble " + strConfig + " " + strBack).first);
    EXPECT_EQ(ReadBytes(strPlain), ReadBytes(strBack));
    EXPECT_EQ(ReadBytes(strPlain), RunTool("show " + strConfig).second);
    EXPECT_EQ(2u, RunTool("unscramble " + strPlain + " " + strBack).first);

    ExpectReport("check " + strConfig, 0,
                 {"form: scrambled for \"Config.xml\"\n", "\"Run\": 3 child node(s)\n",
                  "  0: <Xml> CLSID \"{2933BF91-7B36-11D2-B20E-00C04F983E60}\": parses as "
                  "{2933BF91-7B36-11D2-B20E-00C04F983E60}; registered in-process: ",
                  "  1: <None> CLSID \"\": does not parse (0x",
                  "  2: <Bad> CLSID \"nonsense\": does not parse (0x",
                  "result: the run goes through the list; 1 of 3 task(s) registered\n"});
    // Renamed, the scrambled file is taken as plain and does not parse.
    ASSERT_TRUE(::CopyFileA(strConfig.c_str(), strRenamed.c_str(), FALSE));
    ExpectReport("check " + strRenamed, 2,
                 {"form: plain\ndocument element: none (the file does not parse)\n"});
}

TEST(ConfigTool, UsageErrors)
{
    for (const char* pszArguments : {"", "frobnicate", "scramble onlyone", "show a b",
                                     "scramble a b --name", "check a --name b"})
        EXPECT_EQ(std::make_pair(1ul, std::string()), RunTool(pszArguments)) << pszArguments;
    ExpectReport("check Z:\\no\\such\\Config.xml", 2,
                 {"result: the launcher ends its run here: HRESULT: 0x80070003"});
}
} // namespace
