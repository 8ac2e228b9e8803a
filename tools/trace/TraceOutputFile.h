// The --output file: a copy of everything ostrelin-trace shows, written as
// the session goes on beside the file named and put in its place when the
// session ends, so that a write that fails leaves an earlier file as it was.
#pragma once

#include "ReplacementFile.h"

#include <mutex>
#include <string>

// How the tool's output starts, and so every trace file it writes.
extern const char szTraceStart[];

enum class OutputTarget
{
    Replaceable,  // absent, empty, NUL, or a trace
    IsTheProgram, // the file that the command line starts
    NotATrace,    // a file of something else
    Folder,       // found out only after the program's run, were it not refused first
    ReadOnly,
    Device, // other than NUL: a console, a port, a Unix device
};

// Whether the file at path may be replaced by the trace of a session that
// runs commandLine. The program is told by file identity, not by name.
OutputTarget CheckOutputTarget(const std::wstring& path, const std::wstring& commandLine);

class CTraceOutputFile
{
public:
    // ERROR_SUCCESS or the Win32 error.
    DWORD Create(const std::wstring& path);
    // The bytes as they are, like a redirected console; a failure waits for Close.
    void Write(const std::string& text);
    // Puts the file in place: ERROR_SUCCESS, or the first failure of the
    // whole write (the earlier file then as it was). From any thread; the
    // first call decides, and nothing is written after it.
    DWORD Close();

private:
    std::mutex m_lock; // a console's Ctrl+C closes from a thread of its own
    CReplacementFile m_file;
    bool m_fOpen = false;
    DWORD m_dwResult = ERROR_SUCCESS;
};
