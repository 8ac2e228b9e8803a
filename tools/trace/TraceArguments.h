// The command line of ostrelin-trace.
#pragma once

#include <windows.h>

#include <string>

struct CTraceArguments
{
    bool help = false;
    bool dismiss = false;
    DWORD timeoutMs = INFINITE;
    std::wstring outputPath; // empty: the console only
    bool noExplain = false;
    bool escaped = false; // records as quoted, escaped lines
    bool version = false;
    std::wstring commandLine; // the program's, exactly as typed
    std::string error;        // not empty: the arguments are wrong, and why (ANSI)
};

// Parses the tool's full command line (GetCommandLineW). The program's
// command line is taken over verbatim, quotes included, because programs
// such as the launcher read their own command line as raw text.
CTraceArguments ParseTraceArguments(const wchar_t* pszCommandLine);

// The program's own name at the start of a command line, without its
// quotes: up to the closing quote or, unquoted, the first blank.
std::wstring ProgramNameOf(const wchar_t* pszCommandLine);

extern const char szTraceUsage[];
