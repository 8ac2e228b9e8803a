#include "TraceArguments.h"

#include "CommandLine.h"
#include "WideText.h"

#include <cstdlib>
#include <cwchar>

const char szTraceUsage[] =
    "usage: ostrelin-trace [--dismiss] [--timeout SECONDS] [--output FILE] [--no-explain]\n"
    "                      [--escaped] [--] PROGRAM [ARGUMENTS...]\n"
    "\n"
    "Starts PROGRAM with ARGUMENTS (passed on exactly as typed) and shows, as they\n"
    "happen, every text it writes to the debugger output and every message box it\n"
    "shows; then the program's exit code, for Ostrelin.exe also in words.\n"
    "\n"
    "  --dismiss          press OK on every message box the program shows\n"
    "  --timeout SECONDS  a limit: end the program if it is still running after SECONDS\n"
    "  --output FILE      write everything shown to FILE as well (replacing it)\n"
    "  --no-explain       start the program without OSTRELIN_EXPLAIN; otherwise it gets\n"
    "                     OSTRELIN_EXPLAIN=1 (the launcher explains its run), or the\n"
    "                     value already set here\n"
    "  --escaped          show each record as quoted lines, with \\\\ \\\" \\r \\n \\t and \\xHH\n"
    "                     escaped; otherwise records are shown as written, and only\n"
    "                     control characters other than the tab as <0xHH>\n"
    "  --                 everything after this is the program's command line\n"
    "  --help             show this text\n"
    "  --version          show the tool's version\n"
    "\n"
    "Exit code: the program's exit code; 124 when the time-out ended the program,\n"
    "125 when the arguments are wrong or FILE cannot be created or written (FILE is\n"
    "never the program itself, nor a file that is not a trace, a folder, a read-only\n"
    "file or a device other than NUL: these are refused before the program starts),\n"
    "126 when the program cannot be started.\n";

namespace
{
const DWORD nLongestTimeoutSeconds = 4000000; // keeps milliseconds within 32 bits

// The position after the program's own name.
const wchar_t* SkipProgramName(const wchar_t* psz)
{
    if (*psz == L'"')
    {
        const wchar_t* pszClose = std::wcschr(psz + 1, L'"');
        return pszClose != nullptr ? pszClose + 1 : psz + std::wcslen(psz);
    }
    while (*psz != L'\0' && *psz != L' ' && *psz != L'\t')
        ++psz;
    return psz;
}

bool ParseSeconds(const std::string& text, DWORD& timeoutMs)
{
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long nSeconds = std::strtoul(text.c_str(), nullptr, 10);
    if (nSeconds == 0 || nSeconds > nLongestTimeoutSeconds)
        return false;
    timeoutMs = static_cast<DWORD>(nSeconds * 1000);
    return true;
}
} // namespace

std::wstring ProgramNameOf(const wchar_t* pszCommandLine)
{
    const wchar_t* const pszEnd = SkipProgramName(pszCommandLine);
    std::wstring name(pszCommandLine, pszEnd);
    if (!name.empty() && name.front() == L'"')
        name.erase(0, 1);
    if (!name.empty() && name.back() == L'"')
        name.pop_back();
    return name;
}

CTraceArguments ParseTraceArguments(const wchar_t* pszCommandLine)
{
    CTraceArguments arguments;
    const wchar_t* psz = SkipProgramName(pszCommandLine);
    for (;;)
    {
        psz = SkipBlanks(psz);
        if (*psz == L'\0')
            break;
        const wchar_t* pszToken = psz;
        const std::wstring token = NextArgument(psz);
        if (token == L"--")
        {
            psz = SkipBlanks(psz);
            break;
        }
        if (token == L"--help" || token == L"-h" || token == L"/?")
        {
            arguments.help = true;
            return arguments;
        }
        if (token == L"--dismiss")
        {
            arguments.dismiss = true;
            continue;
        }
        if (token == L"--no-explain")
        {
            arguments.noExplain = true;
            continue;
        }
        if (token == L"--escaped")
        {
            arguments.escaped = true;
            continue;
        }
        if (token == L"--version")
        {
            arguments.version = true;
            return arguments;
        }
        if (token == L"--output")
        {
            psz = SkipBlanks(psz);
            arguments.outputPath = NextArgument(psz);
            if (arguments.outputPath.empty())
            {
                arguments.error = "--output needs a FILE";
                return arguments;
            }
            continue;
        }
        if (token == L"--timeout")
        {
            psz = SkipBlanks(psz);
            const std::string seconds = TextFrom(NextArgument(psz), CP_ACP);
            if (!ParseSeconds(seconds, arguments.timeoutMs))
            {
                arguments.error = "--timeout needs a whole number of seconds from 1 to 4000000, "
                                  "not \"" +
                                  seconds + "\"";
                return arguments;
            }
            continue;
        }
        if (token.size() > 1 && token[0] == L'-')
        {
            arguments.error = "unknown option \"" + TextFrom(token, CP_ACP) + "\"";
            return arguments;
        }
        psz = pszToken;
        break;
    }

    arguments.commandLine = psz;
    if (arguments.commandLine.empty())
        arguments.error = "no program given";
    return arguments;
}
