// ostrelin-trace: shows what a program writes to the debugger output and
// which message boxes it shows, for support staff on a user's machine.
#include "ConsoleOutput.h"
#include "CoreTrace.h"
#include "DebugSession.h"
#include "TraceArguments.h"
#include "TraceEnvironment.h"
#include "TraceFormat.h"
#include "TraceHeader.h"
#include "SystemLibrary.h"
#include "TraceOutputFile.h"
#include "WideText.h"

namespace
{
// Our own ends; anything else is the program's exit code.
const int nExitTimedOut = 124;
const int nExitBadArguments = 125;
const int nExitCannotStart = 126;

// The --output file as the console shows it, and where the session's end
// puts it in place: the normal end, or a console's Ctrl+C or close.
struct COutputCopy
{
    CTraceOutputFile file;
    std::string shownPath; // in the ANSI code page
    const CConsoleOutput* pErr = nullptr;
} g_outputCopy;

int EndSession(int nExitCode)
{
    const DWORD dwError = g_outputCopy.file.Close();
    if (dwError == ERROR_SUCCESS)
        return nExitCode;
    g_outputCopy.pErr->Write("ostrelin-trace: cannot write " + g_outputCopy.shownPath + ": " +
                             DescribeSystemError(dwError) + "\n");
    return nExitBadArguments;
}

BOOL WINAPI OnConsoleEnd(DWORD /*dwCtrlType*/)
{
    EndSession(0);
    return FALSE; // the system's own end follows
}
} // namespace

int main()
{
    LimitDllSearchToSystem();
    CConsoleOutput out(STD_OUTPUT_HANDLE);
    CConsoleOutput err(STD_ERROR_HANDLE);

    // Read wide, so that a program or a file in a folder that the ANSI code
    // page cannot spell is taken as typed.
    const CTraceArguments arguments = ParseTraceArguments(::GetCommandLineW());
    if (arguments.help)
    {
        out.Write(szTraceUsage);
        return 0;
    }
    if (arguments.version)
    {
        out.Write("ostrelin-trace " OSTRELIN_VERSION_TEXT "\n");
        return 0;
    }
    if (!arguments.error.empty())
    {
        err.Write("ostrelin-trace: " + arguments.error + "\n\n" + szTraceUsage);
        return nExitBadArguments;
    }
    const std::string shownPath = TextFrom(arguments.outputPath, CP_ACP);
    if (!arguments.outputPath.empty())
    {
        // A FILE forgotten after --output takes the program's path: never
        // replace the program, nor anything but an earlier trace.
        switch (CheckOutputTarget(arguments.outputPath, arguments.commandLine))
        {
        case OutputTarget::IsTheProgram:
            err.Write("ostrelin-trace: --output " + shownPath +
                      " is the program to run: it is not replaced\n");
            return nExitBadArguments;
        case OutputTarget::NotATrace:
            err.Write("ostrelin-trace: --output " + shownPath +
                      " is not a trace of ostrelin-trace: it is not replaced\n");
            return nExitBadArguments;
        case OutputTarget::Folder:
            err.Write("ostrelin-trace: --output " + shownPath +
                      " is a folder: name a file, in it or elsewhere\n");
            return nExitBadArguments;
        case OutputTarget::ReadOnly:
            err.Write("ostrelin-trace: --output " + shownPath +
                      " is read-only: it is not replaced\n");
            return nExitBadArguments;
        case OutputTarget::Device:
            err.Write("ostrelin-trace: --output " + shownPath +
                      " is a device: name a file, or NUL\n");
            return nExitBadArguments;
        case OutputTarget::Replaceable:
            break;
        }
        const DWORD dwError = g_outputCopy.file.Create(arguments.outputPath);
        if (dwError != ERROR_SUCCESS)
        {
            err.Write("ostrelin-trace: cannot create " + shownPath + ": " +
                      DescribeSystemError(dwError) + "\n");
            return nExitBadArguments;
        }
        g_outputCopy.shownPath = shownPath;
        g_outputCopy.pErr = &err;
        ::SetConsoleCtrlHandler(OnConsoleEnd, TRUE);
        out.CopyTo(g_outputCopy.file);
        err.CopyTo(g_outputCopy.file);
    }
    out.Write(szTraceStart + FormatWallClockNow() + "\n");

    const std::wstring& wideCommandLine = arguments.commandLine;
    out.Write("ostrelin-trace: running " + TextFrom(wideCommandLine, CP_ACP) + "\n");
    if (arguments.dismiss)
        out.Write("ostrelin-trace: message boxes are dismissed with OK\n");
    if (arguments.timeoutMs != INFINITE)
        out.Write("ostrelin-trace: time limit " + std::to_string(arguments.timeoutMs / 1000) +
                  " s: the program is ended if it is still running then\n");
    out.Write("ostrelin-trace: " + PrepareExplainVariable(arguments.noExplain) + "\n");
    if (!arguments.outputPath.empty())
        out.Write("ostrelin-trace: written to " + shownPath + " as well\n");

    CSessionOptions options;
    options.wideCommandLine = wideCommandLine;
    options.dismissBoxes = arguments.dismiss;
    options.timeoutMs = arguments.timeoutMs;
    CTraceFormatter formatter(arguments.escaped);
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
        err.Write("ostrelin-trace: cannot start the program: " +
                  DescribeSystemError(result.startError) + "\n");
        return EndSession(nExitCannotStart);
    case SessionOutcome::TimedOut:
        out.Write("---- time-out, " + FormatElapsed(result.elapsedMs) + " ----\n");
        err.Write("ostrelin-trace: the program was still running after " +
                  std::to_string(arguments.timeoutMs / 1000) + " s and has been ended\n");
        return EndSession(nExitTimedOut);
    case SessionOutcome::Exited:
        break;
    }
    out.Write("---- program ended, " + FormatElapsed(result.elapsedMs) + " ----\n    exit code " +
              FormatExitCode(result.exitCode) + ExplainExitCode(program.path, result.exitCode) +
              "\n");
    return EndSession(static_cast<int>(result.exitCode));
}
