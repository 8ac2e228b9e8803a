// What ostrelin-trace says around a session: when it started, which program
// file ran, and what the launcher's exit codes mean.
#pragma once

#include <windows.h>

#include <string>

// The local wall-clock time now with its offset: "2025-01-31 14:03:12 (UTC+01:00)".
std::string FormatWallClockNow();

struct CProgramFile
{
    std::string path;    // the full path of the running image
    std::string version; // its file version "1.2.3.4"; empty when it has none
};

CProgramFile DescribeProgramFile(HANDLE hProcess);

// ": " and the launcher's meaning of its exit code when the program is the
// launcher (Ostrelin.exe) and the code one of its own; otherwise empty.
std::string ExplainExitCode(const std::string& programPath, DWORD exitCode);
