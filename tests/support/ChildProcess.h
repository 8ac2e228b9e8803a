// A program of the build's bin folder with pipes for its standard input and
// output; the inheritable handles of this process go with it.
#pragma once

#include "TestPaths.h"

#include <utility>

class CChildProcess
{
public:
    CChildProcess(const std::string& program, const std::string& arguments)
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE hStdin = nullptr, hStdout = nullptr;
        ::CreatePipe(&hStdin, &m_hToChild, &inherit, 0);
        ::CreatePipe(&m_hFromChild, &hStdout, &inherit, 0);
        ::SetHandleInformation(m_hToChild, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(m_hFromChild, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = hStdin;
        startup.hStdOutput = hStdout;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        std::string commandLine = "\"" + GetBinFolder() + program + "\" " + arguments;
        ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &m_process);
        ::CloseHandle(hStdin);
        ::CloseHandle(hStdout);
    }
    ~CChildProcess() { Finish(); }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Ends its input; its exit code and output (exit code 0 and no output when
    // it could not be started).
    std::pair<DWORD, std::string> Finish()
    {
        std::pair<DWORD, std::string> result(0, "");
        if (m_hToChild == nullptr)
            return result;
        ::CloseHandle(m_hToChild);
        m_hToChild = nullptr;
        char buffer[4096];
        DWORD cbRead = 0;
        while (m_process.hProcess != nullptr &&
               ::ReadFile(m_hFromChild, buffer, sizeof buffer, &cbRead, nullptr) && cbRead > 0)
            result.second.append(buffer, cbRead);
        ::CloseHandle(m_hFromChild);
        if (m_process.hProcess != nullptr)
        {
            ::WaitForSingleObject(m_process.hProcess, INFINITE);
            ::GetExitCodeProcess(m_process.hProcess, &result.first);
            ::CloseHandle(m_process.hProcess);
            ::CloseHandle(m_process.hThread);
        }
        return result;
    }

private:
    PROCESS_INFORMATION m_process{};
    HANDLE m_hToChild = nullptr;
    HANDLE m_hFromChild = nullptr;
};
