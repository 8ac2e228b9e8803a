// ostrelin-trace: shows what a program writes to the debugger output and
// which message boxes it shows, for support staff on a user's machine.
#include "ConsoleOutput.h"
#include "CoreTrace.h"
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

std::wstring WideFrom(const std::string& text, UINT uCodePage)
{
    const int cb = static_cast<int>(text.size());
    const int cch = cb == 0 ? 0 : ::MultiByteToWideChar(uCodePage, 0, text.data(), cb, nullptr, 0);
    std::wstring wide(static_cast<size_t>(cch), L'\0');
    if (cch > 0)
        ::MultiByteToWideChar(uCodePage, 0, text.data(), cb, &wide[0], cch);
    return wide;
}

std::string TextFrom(const std::wstring& wide, UINT uCodePage)
{
    const int cch = static_cast<int>(wide.size());
    const int cb = cch == 0 ? 0
                            : ::WideCharToMultiByte(uCodePage, 0, wide.data(), cch, nullptr, 0,
                                                    nullptr, nullptr);
    std::string text(static_cast<size_t>(cb), '\0');
    if (cb > 0)
        ::WideCharToMultiByte(uCodePage, 0, wide.data(), cch, &text[0], cb, nullptr, nullptr);
    return text;
}

// UTF-8 as the ANSI code page shows it.
std::string AnsiFromUtf8(const std::string& text)
{
    return TextFrom(WideFrom(text, CP_UTF8), CP_ACP);
}

std::string DescribeError(DWORD dwError)
{
    CText strSystem;
    FormatSystemMessage(dwError, strSystem, 0); // the user's language
    std::string message(strSystem.GetString(), static_cast<size_t>(strSystem.GetLength()));
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

    // Read wide, so that a program in a folder that the ANSI code page cannot
    // spell starts as typed; parsed as UTF-8, whose blanks and quotes are the
    // ASCII ones.
    const CTraceArguments arguments =
        ParseTraceArguments(TextFrom(::GetCommandLineW(), CP_UTF8).c_str());
    if (arguments.help)
    {
        out.Write(szTraceUsage);
        return 0;
    }
    if (!arguments.error.empty())
    {
        err.Write("ostrelin-trace: " + AnsiFromUtf8(arguments.error) + "\n\n" + szTraceUsage);
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

    const std::wstring wideCommandLine = WideFrom(arguments.commandLine, CP_UTF8);
    out.Write("ostrelin-trace: running " + TextFrom(wideCommandLine, CP_ACP) + "\n");
    if (arguments.dismiss)
        out.Write("ostrelin-trace: message boxes are dismissed with OK\n");
    if (arguments.timeoutMs != INFINITE)
        out.Write("ostrelin-trace: time limit " + std::to_string(arguments.timeoutMs / 1000) +
                  " s: the program is ended if it is still running then\n");
    out.Write("ostrelin-trace: " + PrepareExplainVariable(arguments.noExplain) + "\n");
    if (!arguments.outputPath.empty())
        out.Write("ostrelin-trace: written to " + arguments.outputPath + " as well\n");

    CSessionOptions options;
    options.wideCommandLine = wideCommandLine;
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
