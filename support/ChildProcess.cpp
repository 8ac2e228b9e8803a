#include "ChildProcess.h"

#include "WideText.h"

#include <vector>

namespace
{
// A pipe whose one end goes to the child (inheritable) and whose other end
// stays here (not inherited).
bool CreateChildPipe(CUniqueHandle& hChildEnd, CUniqueHandle& hOwnEnd, bool fChildReads)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    if (!::CreatePipe(&hRead, &hWrite, &inherit, 0))
        return false;
    hChildEnd.Attach(fChildReads ? hRead : hWrite);
    hOwnEnd.Attach(fChildReads ? hWrite : hRead);
    return ::SetHandleInformation(hOwnEnd.Get(), HANDLE_FLAG_INHERIT, 0) != FALSE;
}
} // namespace

bool CChildProcess::Start(const std::string& commandLine, unsigned streams)
{
    return Start(WideFrom(commandLine, CP_ACP), streams);
}

bool CChildProcess::Start(const std::wstring& commandLine, unsigned streams)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    CUniqueHandle hChildIn;
    CUniqueHandle hChildOut;
    const bool fPipes = streams != NoPipes;
    if (fPipes)
    {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    }
    if (streams & PipeInput)
    {
        if (!CreateChildPipe(hChildIn, m_hToChild, true))
            return false;
        startup.hStdInput = hChildIn.Get();
    }
    if (streams & PipeOutput)
    {
        if (!CreateChildPipe(hChildOut, m_hFromChild, false))
            return false;
        startup.hStdOutput = hChildOut.Get();
        if (streams & PipeErrorToOutput)
            startup.hStdError = hChildOut.Get();
    }

    // CreateProcessW may write into the command line.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, fPipes, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    // The child's ends close here when this returns: the pipes then break
    // once the child and its heirs are done with them.
    m_hProcess.Attach(process.hProcess);
    const CUniqueHandle hThread(process.hThread);
    m_dwProcessId = process.dwProcessId;
    return true;
}

bool CChildProcess::WriteInput(const std::string& text)
{
    DWORD cbWritten = 0;
    return ::WriteFile(m_hToChild.Get(), text.data(), static_cast<DWORD>(text.size()), &cbWritten,
                       nullptr) &&
           cbWritten == text.size();
}

bool CChildProcess::ReadAvailable(std::string& text)
{
    char buffer[4096];
    for (;;)
    {
        DWORD cbAvailable = 0;
        if (!::PeekNamedPipe(m_hFromChild.Get(), nullptr, 0, nullptr, &cbAvailable, nullptr))
            return false;
        if (cbAvailable == 0)
            return true;
        DWORD cbRead = 0;
        if (!::ReadFile(m_hFromChild.Get(), buffer, sizeof buffer, &cbRead, nullptr))
            return false;
        text.append(buffer, cbRead);
    }
}

void CChildProcess::ReadToEnd(std::string& text)
{
    char buffer[4096];
    DWORD cbRead = 0;
    while (::ReadFile(m_hFromChild.Get(), buffer, sizeof buffer, &cbRead, nullptr) && cbRead > 0)
        text.append(buffer, cbRead);
}

void CChildProcess::ReadUntilExit(std::string& text)
{
    for (bool fEnded = false; !fEnded;)
    {
        fEnded = WaitForExit(10);
        ReadAvailable(text); // after the end too: what it wrote last
    }
}

bool CChildProcess::WaitForExit(DWORD nMs) const
{
    return ::WaitForSingleObject(m_hProcess.Get(), nMs) == WAIT_OBJECT_0;
}

DWORD CChildProcess::ExitCode() const
{
    DWORD dwExitCode = STILL_ACTIVE;
    ::GetExitCodeProcess(m_hProcess.Get(), &dwExitCode);
    return dwExitCode;
}

void CChildProcess::Terminate(UINT nExitCode) const
{
    ::TerminateProcess(m_hProcess.Get(), nExitCode);
}
