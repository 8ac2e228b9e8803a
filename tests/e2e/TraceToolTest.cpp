// ostrelin-trace as support staff run it: its output, its file and its exit codes.
#include "E2EPaths.h"
#include "ToolRun.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace
{
const std::string strDebuggee = "\"" + GetBinFolder() + "ostrelin-debuggee.exe\"";

// Times vary from run to run.
std::string WithoutTimes(const std::string& output)
{
    const std::string text =
        std::regex_replace(output,
                           std::regex("started [0-9]{4}(-[0-9]{2}){2}( [0-9]{2}|:[0-9]{2}){3} "
                                      "\\(UTC[-+][0-9]{2}:[0-9]{2}\\)"),
                           "started T");
    return std::regex_replace(text, std::regex("\\+[0-9]+\\.[0-9]{3} s"), "+T s");
}
} // namespace

TEST(TraceTool, ShowsHeaderRecordsBoxesAndExitCodeAndWritesThemToTheFile)
{
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
    const std::string file = GetTestTempFolder() + "trace.txt";
    const std::string program =
        strDebuggee + " record:one \"record:a\\r\\nb\" record: \"box:Cap|Text\" exit:7";
    const CToolRun run =
        RunTool("ostrelin-trace.exe", "--dismiss --output " + file + " -- " + program);
    EXPECT_EQ(7u, run.exitCode);
    EXPECT_EQ(
        "ostrelin-trace: started T\nostrelin-trace: running " + program +
            "\nostrelin-trace: message boxes are dismissed with OK\n"
            "ostrelin-trace: OSTRELIN_EXPLAIN=1 for the program (--no-explain leaves it out)\n"
            "ostrelin-trace: written to " +
            file +
            " as well\n"
            "ostrelin-trace: program " +
            GetBinFolder() +
            "ostrelin-debuggee.exe\n"
            "---- record 1, +T s, 3 bytes ----\n    \"one\"\n"
            "---- record 2, +T s, 4 bytes ----\n    \"a\\r\\n\"\n    \"b\"\n"
            "---- record 3, +T s, empty ----\n    \"\"\n"
            "---- message box 1, +T s ----\n    caption: \"Cap\"\n    text:    \"Text\"\n"
            "    dismissed with OK\n"
            "---- program ended, +T s ----\n    exit code 7 (0x00000007)\n",
        WithoutTimes(run.output));
    std::ostringstream written;
    written << std::ifstream(file, std::ios::binary).rdbuf();
    EXPECT_EQ(run.output, written.str());
}

TEST(TraceTool, ExitCodesExplainedTraceAndOwnErrors)
{
    // The launcher is known by its file name.
    const std::string launcher = "\"" + GetTestTempFolder() + "Ostrelin.exe\"";
    ASSERT_TRUE(::CopyFileA((GetBinFolder() + "ostrelin-debuggee.exe").c_str(),
                            (GetTestTempFolder() + "Ostrelin.exe").c_str(), FALSE));
    // Each row: the arguments, OSTRELIN_EXPLAIN in the tool's own environment,
    // the exit code, and what is shown, in this order.
    const auto expect = [](const std::string& arguments, const char* explainHere, DWORD exitCode,
                           const std::vector<std::string>& shown)
    {
        ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", explainHere);
        const CToolRun run = RunTool("ostrelin-trace.exe", arguments);
        EXPECT_EQ(exitCode, run.exitCode) << arguments;
        EXPECT_TRUE(ShowsInOrder(WithoutTimes(run.output), shown));
    };
    expect(launcher + " exit:2", nullptr, 2,
           {"(0x00000002): the updater holds the installation\n"});
    expect(launcher + " exit:7", nullptr, 7, {"exit code 7 (0x00000007)\n"});
    expect("regsvr32 /s no-such.dll", nullptr, 3, {"regsvr32.exe, file version "});
    expect(strDebuggee + " env:OSTRELIN_EXPLAIN", nullptr, 0, {"    \"1\"\n"});
    expect(strDebuggee + " env:OSTRELIN_EXPLAIN", "C:\\x.log", 0,
           {"OSTRELIN_EXPLAIN=C:\\x.log for the program, as set here\n", "    \"C:\\\\x.log\"\n"});
    expect("--no-explain " + strDebuggee + " env:OSTRELIN_EXPLAIN", "1", 0, {"    \"<unset>\"\n"});
    // Long enough for the box to be up on an emulated machine, the desktop first.
    ::GetDesktopWindow();
    expect("--timeout 20 " + strDebuggee + " box:A|B", nullptr, 124,
           {"time limit 20 s: the program is ended if it is still running then\n",
            "    left open\n---- time-out, +T s ----\n", "still running after 20 s"});
    expect(strDebuggee + " record:x crash record:y", nullptr, 0xE0C0FFEE,
           {"\"x\"\n---- crash, +T s ----\n    exception 0xE0C0FFEE at 0x",
            "exit code 3770744814 (0xE0C0FFEE)\n"});
    // Longer than the 16-bit length of an output event.
    expect(strDebuggee + " long:70000", nullptr, 0, {"70000 bytes ----\n    \"abcdefghijklmnopq"});
    expect("\"" + GetBinFolder() + "no-such-program.exe\"", nullptr, 126,
           {"cannot start the program"});
    expect("--output Z:\\no\\such\\folder\\t.txt x.exe", nullptr, 125, {"cannot create Z:\\no"});
    expect("", nullptr, 125, {"no program given\n\nusage: ostrelin-trace"});
    expect("--output", nullptr, 125, {"--output needs a FILE"});
    expect("--timeout 0 x.exe", nullptr, 125, {"--timeout needs a whole number"});
    expect("--dismis x.exe", nullptr, 125, {"unknown option \"--dismis\""});
    expect("--help", nullptr, 0, {"usage: ostrelin-trace"});
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
}
