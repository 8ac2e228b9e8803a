// Runs a command line as a debuggee and observes its debugger output, its
// message boxes and its exit code.
#pragma once

#include "TraceEvent.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct CSessionOptions
{
    std::string commandLine; // program and arguments, passed on verbatim
    // Used instead of commandLine when not empty: also spells what the ANSI
    // code page cannot.
    std::wstring wideCommandLine;
    // The program file, when the command line names it in a form that cannot
    // be started (a path of MAX_PATH characters or more); empty: taken from
    // the command line.
    std::wstring applicationName;
    std::string workingDirectory; // empty: this process's own
    // "NAME=value" entries that make up the program's whole environment;
    // absent: this process's own environment.
    std::optional<std::vector<std::string>> environment;
    bool dismissBoxes = false; // press OK on every message box seen
    DWORD timeoutMs = INFINITE;
    // Called for each event as it is observed; for a box before it is dismissed.
    std::function<void(const CTraceEvent&)> onEvent;
    // Called once the program exists, before its first event is seen.
    std::function<void(HANDLE hProcess)> onStarted;
};

class CDebugSession
{
public:
    explicit CDebugSession(CSessionOptions options);
    CDebugSession(const CDebugSession&) = delete;
    CDebugSession& operator=(const CDebugSession&) = delete;
    ~CDebugSession();

    // Starts the program, follows it to its end (or the time-out) and returns
    // what was observed. Call once.
    CSessionResult Run();

private:
    bool Start();
    void Loop();
    DWORD OnDebugEvent(const DEBUG_EVENT& event);
    DWORD OnException(const EXCEPTION_DEBUG_INFO& info);
    void LookForBoxes();
    void EndAtTimeout();
    void Report(CTraceEvent event);
    DWORD Elapsed() const;

    CSessionOptions m_options;
    CSessionResult m_result;
    PROCESS_INFORMATION m_process = {};
    DWORD m_startTick = 0;
    DWORD m_lastBoxCheckMs = 0;
    bool m_sawInitialBreakpoint = false;
    bool m_exited = false;
    std::vector<HWND> m_boxesShown; // reported and still open
};

// This process's environment as "NAME=value" entries, to extend for a debuggee.
std::vector<std::string> GetCurrentEnvironment();
