// A program started as a console user would start it, with pipes for the
// standard streams that the caller wants to write or read; the streams without
// a pipe are this process's own.
//
//     CChildProcess child;
//     if (!child.Start("\"" + strProgram + "\" --help", CChildProcess::PipeOutput))
//         ...; // the last error says why
//     std::string strOutput;
//     child.ReadUntilExit(strOutput);
//     const DWORD dwExitCode = child.ExitCode();
#pragma once

#include "CoreHandle.h"

#include <string>

class CChildProcess
{
public:
    enum Streams : unsigned
    {
        NoPipes = 0,
        PipeInput = 1,         // WriteInput, CloseInput (its end of input)
        PipeOutput = 2,        // ReadAvailable, ReadToEnd
        PipeErrorToOutput = 4, // with PipeOutput: standard error into the same pipe
    };

    CChildProcess() = default;
    CChildProcess(CChildProcess&&) = default;
    CChildProcess& operator=(CChildProcess&&) = default;

    // Starts commandLine (the program's path, quoted, and its arguments). The
    // program inherits this process's inheritable handles when it gets a pipe.
    // False, with the last error, when it cannot start.
    bool Start(const std::string& commandLine, unsigned streams = NoPipes);
    // The same, wide: also spells what the ANSI code page cannot.
    bool Start(const std::wstring& commandLine, unsigned streams = NoPipes);

    HANDLE Process() const { return m_hProcess.Get(); }
    DWORD ProcessId() const { return m_dwProcessId; }

    bool WriteInput(const std::string& text);
    void CloseInput() { m_hToChild.Close(); }

    // Appends what the output pipe holds now, without waiting; false once the
    // pipe has nothing more to give (the program and its heirs have closed it).
    bool ReadAvailable(std::string& text);
    // Appends the output until the pipe closes. A program that leaves the
    // pipe to a process that outlives it (Wine's desktop process may) keeps
    // this waiting: ReadUntilExit then.
    void ReadToEnd(std::string& text);
    // Appends the output until the program has ended, polling the pipe.
    void ReadUntilExit(std::string& text);

    // True when the program has ended within nMs.
    bool WaitForExit(DWORD nMs) const;
    // Its exit code; STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    void Terminate(UINT nExitCode) const;

private:
    CUniqueHandle m_hProcess;
    CUniqueHandle m_hToChild;
    CUniqueHandle m_hFromChild;
    DWORD m_dwProcessId = 0;
};
