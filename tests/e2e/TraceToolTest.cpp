// ostrelin-trace as support staff run it: its output and its exit codes.
#include "E2EPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

namespace
{
struct CToolRun
{
    DWORD exitCode = 0;
    std::string output; // stdout and stderr as one stream, as on a console
};

CToolRun RunTool(const std::string& arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    if (!::CreatePipe(&hRead, &hWrite, &inherit, 0))
        throw std::runtime_error("cannot create a pipe");
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = hWrite;
    startup.hStdError = hWrite;
    std::string commandLine = "\"" + GetBinFolder() + "ostrelin-trace.exe\"" + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL fStarted = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                           nullptr, nullptr, &startup, &process);
    ::CloseHandle(hWrite);
    if (!fStarted)
    {
        ::CloseHandle(hRead);
        throw std::runtime_error("cannot start " + commandLine);
    }

    CToolRun run;
    char buffer[4096];
    DWORD cRead = 0;
    while (::ReadFile(hRead, buffer, sizeof(buffer), &cRead, nullptr) && cRead > 0)
        run.output.append(buffer, cRead);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    ::CloseHandle(hRead);
    return run;
}

std::string Debuggee()
{
    return "\"" + GetBinFolder() + "ostrelin-debuggee.exe\"";
}

// Times vary from run to run.
std::string WithoutTimes(const std::string& output)
{
    return std::regex_replace(output, std::regex("\\+[0-9]+\\.[0-9]{3} s"), "+T s");
}
} // namespace

TEST(TraceTool, ShowsEachRecordBoxAndTheExitCode)
{
    const std::string program =
        Debuggee() + " record:one \"record:a\\r\\nb\" record: \"box:Cap|Text\" exit:7";
    const CToolRun run = RunTool(" --dismiss -- " + program);
    EXPECT_EQ(7u, run.exitCode);
    EXPECT_EQ("ostrelin-trace: running " + program +
                  "\n"
                  "ostrelin-trace: message boxes are dismissed with OK\n"
                  "---- record 1, +T s, 3 bytes ----\n"
                  "    \"one\"\n"
                  "---- record 2, +T s, 4 bytes ----\n"
                  "    \"a\\r\\n\"\n"
                  "    \"b\"\n"
                  "---- record 3, +T s, empty ----\n"
                  "    \"\"\n"
                  "---- message box 1, +T s ----\n"
                  "    caption: \"Cap\"\n"
                  "    text:    \"Text\"\n"
                  "    dismissed with OK\n"
                  "---- program ended, +T s ----\n"
                  "    exit code 7 (0x00000007)\n",
              WithoutTimes(run.output));
}

TEST(TraceTool, OwnExitCodes)
{
    struct CCase
    {
        std::string arguments;
        DWORD exitCode;
        std::string shown;
    };
    const CCase cases[] = {
        {" " + Debuggee() + " exit:0xC0000005", 0xC0000005, "exit code 3221225477 (0xC0000005)"},
        {" --timeout 2 " + Debuggee() + " hang", 124, "still running after 2 s"},
        {" \"" + GetBinFolder() + "no-such-program.exe\"", 126, "cannot start the program"},
        {"", 125, "no program given\n\nusage: ostrelin-trace"},
        {" --timeout", 125, "--timeout needs a whole number"},
        {" --timeout 0 x.exe", 125, "--timeout needs a whole number"},
        {" --dismis x.exe", 125, "unknown option \"--dismis\""},
        {" --help", 0, "usage: ostrelin-trace"},
    };
    for (const CCase& c : cases)
    {
        const CToolRun run = RunTool(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.arguments;
        EXPECT_NE(std::string::npos, run.output.find(c.shown)) << c.arguments << "\n" << run.output;
    }
}
