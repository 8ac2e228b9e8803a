#include "TraceArguments.h"

#include <cstdlib>

const char szTraceUsage[] =
    "usage: ostrelin-trace [--dismiss] [--timeout SECONDS] [--no-explain] [--] PROGRAM "
    "[ARGUMENTS...]\n"
    "\n"
    "Starts PROGRAM with ARGUMENTS (passed on exactly as typed) and shows, as they\n"
    "happen, every text it writes to the debugger output and every message box it\n"
    "shows; then the program's exit code.\n"
    "\n"
    "  --dismiss          press OK on every message box the program shows\n"
    "  --timeout SECONDS  end the program if it is still running after SECONDS\n"
    "  --no-explain       do not set OSTRELIN_EXPLAIN=1, which makes the launcher\n"
    "                     say what it did and why\n"
    "  --                 everything after this is the program's command line\n"
    "  --help             show this text\n"
    "\n"
    "Exit code: the program's exit code; 124 when the time-out ended the program,\n"
    "125 when the arguments are wrong, 126 when the program cannot be started.\n";

namespace
{
const DWORD nLongestTimeoutSeconds = 4000000; // keeps milliseconds within 32 bits

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

// The position after the program's own name, which ends at the closing quote
// or, unquoted, at the first blank.
const char* SkipProgramName(const char* psz)
{
    if (*psz == '"')
    {
        const char* pszClose = psz + 1;
        while (*pszClose != '\0' && *pszClose != '"')
            ++pszClose;
        return *pszClose == '"' ? pszClose + 1 : pszClose;
    }
    while (*psz != '\0' && !IsBlank(*psz))
        ++psz;
    return psz;
}

// One argument from psz on, without its quotes; advances psz past it.
std::string NextToken(const char*& psz)
{
    std::string token;
    bool inQuotes = false;
    for (; *psz != '\0' && (inQuotes || !IsBlank(*psz)); ++psz)
    {
        if (*psz == '"')
            inQuotes = !inQuotes;
        else
            token += *psz;
    }
    return token;
}

const char* SkipBlanks(const char* psz)
{
    while (IsBlank(*psz))
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

CTraceArguments ParseTraceArguments(const char* pszCommandLine)
{
    CTraceArguments arguments;
    const char* psz = SkipProgramName(pszCommandLine);
    for (;;)
    {
        psz = SkipBlanks(psz);
        if (*psz == '\0')
            break;
        const char* pszToken = psz;
        const std::string token = NextToken(psz);
        if (token == "--")
        {
            psz = SkipBlanks(psz);
            break;
        }
        if (token == "--help" || token == "-h" || token == "/?")
        {
            arguments.help = true;
            return arguments;
        }
        if (token == "--dismiss")
        {
            arguments.dismiss = true;
            continue;
        }
        if (token == "--no-explain")
        {
            arguments.noExplain = true;
            continue;
        }
        if (token == "--timeout")
        {
            psz = SkipBlanks(psz);
            const std::string seconds = NextToken(psz);
            if (!ParseSeconds(seconds, arguments.timeoutMs))
            {
                arguments.error = "--timeout needs a whole number of seconds from 1 to 4000000, "
                                  "not \"" +
                                  seconds + "\"";
                return arguments;
            }
            continue;
        }
        if (token.size() > 1 && token[0] == '-')
        {
            arguments.error = "unknown option \"" + token + "\"";
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
