// Runs a program of the build's bin folder as a user in a console would, and
// checks what it shows.
#pragma once

#include "TestPaths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

struct CToolRun
{
    DWORD exitCode = ~0u;
    std::string output; // standard output and error as one stream, without CR
};

inline CToolRun RunTool(const std::string& strProgram, const std::string& strArguments)
{
    CToolRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    ::CreatePipe(&hRead, &hWrite, &inherit, 0);
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = hWrite;
    std::string strCommand = "\"" + GetBinFolder() + strProgram + "\" " + strArguments;
    PROCESS_INFORMATION process = {};
    const BOOL fStarted = ::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, TRUE, 0,
                                           nullptr, nullptr, &startup, &process);
    ::CloseHandle(hWrite);
    // Read until the program ends, not until the pipe closes: Wine's desktop
    // process, started by the first window in the prefix, keeps it open.
    for (bool fEnded = !fStarted; !fEnded;)
    {
        fEnded = ::WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
        char buffer[4096];
        DWORD cbRead = 0;
        while (::PeekNamedPipe(hRead, nullptr, 0, nullptr, &cbRead, nullptr) && cbRead > 0 &&
               ::ReadFile(hRead, buffer, sizeof buffer, &cbRead, nullptr))
            run.output.append(buffer, cbRead);
    }
    ::CloseHandle(hRead);
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
    return run;
}

// Each part shown, in this order.
inline testing::AssertionResult ShowsInOrder(const std::string& output,
                                             const std::vector<std::string>& parts)
{
    size_t iAt = 0;
    for (const std::string& part : parts)
    {
        if ((iAt = output.find(part, iAt)) == std::string::npos)
            return testing::AssertionFailure() << "no \"" << part << "\" in\n" << output;
    }
    return testing::AssertionSuccess();
}
