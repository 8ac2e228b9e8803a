// Clocks, medians, files and child processes for the benchmarks.
#pragma once

#include "ScratchFolder.h" // CScratchFolder, RemoveFolderTree
#include "BinFolder.h"     // GetBinFolder
#include "WideText.h"      // WidePath

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Seconds on the performance counter, one clock for every process of the machine.
double CounterSeconds(LONGLONG nCounter);
LONGLONG ReadCounter();
double SecondsSince(LONGLONG nStart);

double Median(std::vector<double> values);

// The median of cRuns timings of f, in seconds.
double MedianSeconds(int cRuns, const std::function<void()>& f);

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
unsigned long long FileSize(const std::string& path);
void CopyOrThrow(const std::string& from, const std::string& to);
struct CProcessRun
{
    LONGLONG nCreated = 0; // the counter just before CreateProcess
    double seconds = 0;    // from then until the process had ended
    DWORD exitCode = 0;
};

// Starts commandLine without a debugger, as a shortcut would, and waits for its end.
CProcessRun RunProcess(const std::string& commandLine);

// Writes one line to stdout at once.
void Print(const char* pszFormat, ...);
