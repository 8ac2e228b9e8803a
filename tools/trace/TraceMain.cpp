// ostrelin-trace: shows what a program writes to the debugger output and
// which message boxes it shows, for support staff on a user's machine.
#include "ConsoleOutput.h"
#include "DebugSession.h"
#include "TraceArguments.h"
#include "TraceEnvironment.h"
#include "TraceFormat.h"
#include "TraceHeader.h"

namespace
{
// Our own ends; anything else is the program's exit code.
const int nExitTimedOut = 124;
const int nExitBadArguments = 125;
const int nExitCannotStart = 126;

std::string DescribeError(DWORD dwError)
{
    char* pszMessage = nullptr;
    const DWORD cch = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, dwError, 0, reinterpret_cast<char*>(&pszMessage), 0, nullptr);
    std::string message = cch > 0 ? std::string(pszMessage, cch) : std::string();
    if (pszMessage != nullptr)
        ::LocalFree(pszMessage);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return (message.empty() ? std::string("unknown error") : message) + " (error " +
           std::to_string(dwError) + ")";
}
} // namespace

int main()
{
    CConsoleOutput out(STD_OUTPUT_HANDLE);
    CConsoleOutput err(STD_ERROR_HANDLE);

    const CTraceArguments arguments = ParseTraceArguments(::GetCommandLineA());
    if (arguments.help)
    {
        out.Write(szTraceUsage);
        return 0;
    }
    if (!arguments.error.empty())
    {
        err.Write("ostrelin-trace: " + arguments.error + "\n\n" + szTraceUsage);
        return nExitBadArguments;
    }
    CTraceOutputFile copy;
    if (!arguments.outputPath.empty())
    {
        const DWORD dwError = copy.Create(arguments.outputPath);
        if (dwError != ERROR_SUCCESS)
        {
            err.Write("ostrelin-trace: cannot create " + arguments.outputPath + ": " +
                      DescribeError(dwError) + "\n");
            return nExitBadArguments;
        }
        out.CopyTo(copy);
        err.CopyTo(copy);
    }
    out.Write("ostrelin-trace: started " + FormatWallClockNow() + "\n");

    out.Write("ostrelin-trace: running " + arguments.commandLine + "\n");
    if (arguments.dismiss)
        out.Write("ostrelin-trace: message boxes are dismissed with OK\n");
    if (arguments.timeoutMs != INFINITE)
        out.Write("ostrelin-trace: time limit " + std::to_string(arguments.timeoutMs / 1000) +
                  " s: the program is ended if it is still running then\n");
    out.Write("ostrelin-trace: " + PrepareExplainVariable(arguments.noExplain) + "\n");
    if (!arguments.outputPath.empty())
        out.Write("ostrelin-trace: written to " + arguments.outputPath + " as well\n");

    CSessionOptions options;
    options.commandLine = arguments.commandLine;
    options.dismissBoxes = arguments.dismiss;
    options.timeoutMs = arguments.timeoutMs;
    CTraceFormatter formatter;
    options.onEvent = [&](const CTraceEvent& event) { out.Write(formatter.Format(event)); };
    CProgramFile program;
    options.onStarted = [&](HANDLE hProcess)
    {
        program = DescribeProgramFile(hProcess);
        out.Write("ostrelin-trace: program " + program.path +
                  (program.version.empty() ? "" : ", file version " + program.version) + "\n");
    };

    CDebugSession session(options);
    const CSessionResult result = session.Run();
    switch (result.outcome)
    {
    case SessionOutcome::StartFailed:
        err.Write("ostrelin-trace: cannot start the program: " + DescribeError(result.startError) +
                  "\n");
        return nExitCannotStart;
    case SessionOutcome::TimedOut:
        out.Write("---- time-out, " + FormatElapsed(result.elapsedMs) + " ----\n");
        err.Write("ostrelin-trace: the program was still running after " +
                  std::to_string(arguments.timeoutMs / 1000) + " s and has been ended\n");
        return nExitTimedOut;
    case SessionOutcome::Exited:
        break;
    }
    out.Write("---- program ended, " + FormatElapsed(result.elapsedMs) + " ----\n    exit code " +
              FormatExitCode(result.exitCode) + ExplainExitCode(program.path, result.exitCode) +
              "\n");
    return static_cast<int>(result.exitCode);
}
