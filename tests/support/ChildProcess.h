// A program of the build's bin folder with a pipe for its output.
#pragma once

#include "TestPaths.h"

#include <utility>

class CChildProcess
{
public:
    CChildProcess(const std::string& program, const std::string& arguments)
        : m_commandLine("\"" + GetBinFolder() + program + "\" " + arguments)
    {
    }

    // Runs it to its end: its exit code and its output (~0 and none when it
    // could not start).
    std::pair<DWORD, std::string> Finish()
    {
        std::pair<DWORD, std::string> result(~0u, "");
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE hRead = nullptr, hWrite = nullptr;
        ::CreatePipe(&hRead, &hWrite, &inherit, 0);
        ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = hWrite;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process{};
        const BOOL fStarted = ::CreateProcessA(nullptr, &m_commandLine[0], nullptr, nullptr, TRUE,
                                               0, nullptr, nullptr, &startup, &process);
        ::CloseHandle(hWrite);
        char buffer[4096];
        DWORD cbRead = 0;
        while (fStarted && ::ReadFile(hRead, buffer, sizeof buffer, &cbRead, nullptr) && cbRead > 0)
            result.second.append(buffer, cbRead);
        ::CloseHandle(hRead);
        if (!fStarted)
            return result;
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &result.first);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
        return result;
    }

private:
    std::string m_commandLine;
};
