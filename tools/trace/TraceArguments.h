// The command line of ostrelin-trace.
#pragma once

#include <windows.h>

#include <string>

struct CTraceArguments
{
    bool help = false;
    bool dismiss = false;
    bool noExplain = false; // leave OSTRELIN_EXPLAIN as it is
    DWORD timeoutMs = INFINITE;
    std::string commandLine; // the program's, exactly as typed
    std::string error;       // not empty: the arguments are wrong, and why
};

// Parses the tool's full command line (GetCommandLineW as UTF-8). The program's
// command line is taken over verbatim, quotes included, because programs
// such as the launcher read their own command line as raw text.
CTraceArguments ParseTraceArguments(const char* pszCommandLine);

extern const char szTraceUsage[];
