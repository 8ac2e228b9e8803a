// What a debug session observes: debugger-output records and message boxes,
// in the order in which they were seen.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class TraceEventKind
{
    Record,     // one OutputDebugStringA call, its text exactly as written
    MessageBox, // a message box of the program
    Crash,      // an exception the program did not handle; the program ends
};

struct CTraceEvent
{
    TraceEventKind kind = TraceEventKind::Record;
    DWORD elapsedMs = 0;           // since the program was started
    std::string text;              // the record, or the box's message text
    std::string caption;           // box: its caption
    bool dismissed = false;        // box: the session pressed its OK button
    DWORD exceptionCode = 0;       // crash: the exception's code
    const void* address = nullptr; // crash: where it was raised
};

struct CMessageBoxSeen
{
    std::string caption;
    std::string text;
    bool dismissed = false;

    friend bool operator==(const CMessageBoxSeen& a, const CMessageBoxSeen& b)
    {
        return a.caption == b.caption && a.text == b.text && a.dismissed == b.dismissed;
    }
};

enum class SessionOutcome
{
    Exited,      // the program ended by itself; exitCode is its exit code
    TimedOut,    // the time-out ended the program
    StartFailed, // the program could not be started; startError tells why
};

struct CSessionResult
{
    SessionOutcome outcome = SessionOutcome::StartFailed;
    DWORD exitCode = 0;
    DWORD startError = 0; // Win32 error of CreateProcessW
    DWORD elapsedMs = 0;
    std::vector<CTraceEvent> events;    // everything, in order of observation
    std::vector<std::string> records;   // the records alone
    std::vector<CMessageBoxSeen> boxes; // the boxes alone
};
