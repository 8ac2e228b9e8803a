// ostrelin-trace as support staff run it: its output, its file and its exit codes.
#include "E2EPaths.h"
#include "ReplacementFile.h"
#include "ToolRun.h"

#include <regex>

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
            "---- record 1, +T s, 3 bytes ----\n    one\n"
            "---- record 2, +T s, 4 bytes ----\n    a\n    b\n"
            "---- record 3, +T s, empty ----\n"
            "---- message box 1, +T s ----\n    caption: \"Cap\"\n    text:    \"Text\"\n"
            "    dismissed with OK\n"
            "---- program ended, +T s ----\n    exit code 7 (0x00000007)\n",
        WithoutTimes(run.output));
    EXPECT_EQ(run.output, ReadBytes(WideFrom(file, CP_ACP)));
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
    expect(strDebuggee + " env:OSTRELIN_EXPLAIN", nullptr, 0, {"    1\n"});
    // Records as written, paths as a file manager takes them; escaped on request.
    expect(strDebuggee + " env:OSTRELIN_EXPLAIN", "C:\\x.log", 0,
           {"OSTRELIN_EXPLAIN=C:\\x.log for the program, as set here\n", "    C:\\x.log\n"});
    expect("--escaped " + strDebuggee + " env:OSTRELIN_EXPLAIN", "C:\\x.log", 0,
           {"    \"C:\\\\x.log\"\n"});
    expect(strDebuggee + " \"record:a\\tb\\rc\"", nullptr, 0, {"    a\tb<0x0D>c\n---- program"});
    expect("--no-explain " + strDebuggee + " env:OSTRELIN_EXPLAIN", "1", 0, {"    <unset>\n"});
    // Long enough for the box to be up on an emulated machine, the desktop first.
    ::GetDesktopWindow();
    expect("--timeout 20 " + strDebuggee + " box:A|B", nullptr, 124,
           {"time limit 20 s: the program is ended if it is still running then\n",
            "    left open\n---- time-out, +T s ----\n", "still running after 20 s"});
    expect(strDebuggee + " record:x crash record:y", nullptr, 0xE0C0FFEE,
           {"    x\n---- crash, +T s ----\n    exception 0xE0C0FFEE at 0x",
            "exit code 3770744814 (0xE0C0FFEE)\n"});
    // Longer than the 16-bit length of an output event.
    expect(strDebuggee + " long:70000", nullptr, 0, {"70000 bytes ----\n    abcdefghijklmnopq"});
    expect("\"" + GetBinFolder() + "no-such-program.exe\"", nullptr, 126,
           {"cannot start the program"});
    expect("--output Z:\\no\\such\\folder\\t.txt x.exe", nullptr, 125, {"cannot create Z:\\no"});
    expect("", nullptr, 125, {"no program given\n\nusage: ostrelin-trace"});
    expect("--output", nullptr, 125, {"--output needs a FILE"});
    expect("--timeout 0 x.exe", nullptr, 125, {"--timeout needs a whole number"});
    expect("--dismis x.exe", nullptr, 125, {"unknown option \"--dismis\""});
    expect("--help", nullptr, 0, {"usage: ostrelin-trace"});
    expect("--version", nullptr, 0, {"ostrelin-trace " OSTRELIN_VERSION_TEXT "\n"});
    // One version: the resource's and --version's.
    expect("\"" + GetBinFolder() + "ostrelin-config.exe\" --version", nullptr, 0,
           {"ostrelin-config.exe, file version " OSTRELIN_VERSION_TEXT ".0\n",
            "ostrelin-config " OSTRELIN_VERSION_TEXT "\n"});
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
}

TEST(TraceTool, OutputReplacesOnlyATraceAndReportsWhatFails)
{
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
    const std::wstring folder = WideFrom(GetTestTempFolder(), CP_ACP) + L"output\\";
    std::filesystem::create_directories(std::filesystem::path(folder + L"Caf\u00E9"));
    const std::wstring launcher = folder + L"Ostrelin.exe";
    const std::string program =
        ReadBytes(WideFrom(GetBinFolder(), CP_ACP) + L"ostrelin-debuggee.exe");
    const std::string earlierTrace = "ostrelin-trace: started yesterday\n";
    ASSERT_TRUE(WriteBytes(launcher, program));
    struct CRow
    {
        std::wstring output; // the --output FILE
        std::string before;  // its bytes before the run; "-": no such file
        char how; // 'h': a reader holds it and does not let it be replaced; 'r': read-only
        DWORD exitCode;
        std::string shown;
        std::wstring program = L""; // the program as typed, by default the launcher's full path
    };
    const std::vector<CRow> rows = {
        // The program's own file, named in another way.
        {folder + L"OSTRELIN.EXE", program, ' ', 125,
         "is the program to run: it is not replaced\n"},
        {folder + L"notes.txt", "notes\n", ' ', 125,
         "notes.txt is not a trace of ostrelin-trace: it is not replaced\n"},
        {folder + L"trace.txt", earlierTrace, ' ', 2, "exit code 2 (0x00000002)"},
        {folder + L"empty.txt", "", ' ', 2, "exit code 2 (0x00000002)"},
        {folder + L"held.txt", earlierTrace, 'h', 125, "held.txt: "},
        {folder + L"trace-\u00E9.txt", "-", ' ', 2, "exit code 2 (0x00000002)"},
        {folder + L"Caf\u00E9\\trace.txt", "-", ' ', 2, "exit code 2 (0x00000002)"},
        // Named without its .exe, as the system finds it.
        {folder + L"Ostrelin.exe", program, ' ', 125, "is the program to run",
         folder + L"Ostrelin"},
        // Shorter than a trace's first line, and its start.
        {folder + L"short.txt", "ostrelin", ' ', 125, "short.txt is not a trace of ostrelin-trace"},
        // Refused before the program starts: what cannot be replaced.
        {folder + L"Caf\u00E9", "-", ' ', 125, "is a folder: name a file"},
        {folder + L"read-only.txt", earlierTrace, 'r', 125, "read-only.txt is read-only"},
        {HasFullDevice() ? L"Z:\\dev\\full" : L"", "-", ' ', 125,
         "Z:\\dev\\full is a device: name a file, or NUL\n"},
        {L"NUL", "-", ' ', 2, "exit code 2 (0x00000002)"},
    };
    for (const CRow& row : rows)
    {
        if (row.output.empty())
            continue;
        ASSERT_TRUE(row.before == "-" || WriteBytes(row.output, row.before));
        if (row.how == 'r')
            ::SetFileAttributesW(row.output.c_str(), FILE_ATTRIBUTE_READONLY);
        const CUniqueFileHandle reader(
            row.how == 'h' ? ::CreateFileW(row.output.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, 0, nullptr)
                           : INVALID_HANDLE_VALUE);
        const CToolRun run =
            RunTool("ostrelin-trace.exe", L"--output \"" + row.output + L"\" \"" +
                                              (row.program.empty() ? launcher : row.program) +
                                              L"\" exit:2");
        const std::string name = TextFrom(row.output, CP_UTF8);
        EXPECT_EQ(row.exitCode, run.exitCode) << name;
        EXPECT_TRUE(ShowsInOrder(run.output, {row.shown})) << name;
        // Only a replace that the system refuses at the end is found out after the run.
        EXPECT_EQ(row.exitCode == 125 && row.how != 'h',
                  run.output.find("---- program ended") == std::string::npos)
            << name;
        // Replaced by everything shown, or left as it was (a device is never read).
        const std::string expected = row.exitCode == 2 ? run.output : row.before;
        if (expected != "-" && row.output != L"NUL")
        {
            EXPECT_EQ(expected, ReadBytes(row.output)) << name;
        }
    }
    EXPECT_EQ(program, ReadBytes(launcher));
    ::SetFileAttributesW((folder + L"read-only.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    // Nothing left beside the files.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        EXPECT_NE(L".tmp", entry.path().extension().wstring());
}
