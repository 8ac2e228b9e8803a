#include "Peer.h"

#include "E2EPaths.h"
#include "Installation.h"

#include <stdexcept>

namespace
{
const DWORD nAnswerWaitMs = 90000; // an "own" may wait up to 60 s for its mutex
const DWORD nEndWaitMs = 30000;
const DWORD nPollMs = 10;

void CloseIfOpen(HANDLE& h)
{
    if (h != nullptr)
        ::CloseHandle(h);
    h = nullptr;
}
} // namespace

CPeer CPeer::Owning(const std::string& mutexName)
{
    return CPeer("own " + mutexName);
}

CPeer CPeer::Holding(const std::string& mutexName)
{
    return CPeer("hold " + mutexName);
}

CPeer CPeer::WithEvent(const std::string& name)
{
    return CPeer("event " + name);
}

CPeer CPeer::OwningInstance(const CInstallation& installation, const std::string& arguments)
{
    return CPeer("own-instance " + installation.CommandLine(arguments));
}

CPeer::CPeer(const std::string& arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE hPeerIn = nullptr;
    HANDLE hPeerOut = nullptr;
    if (!::CreatePipe(&hPeerIn, &m_hToPeer, &inherit, 0) ||
        !::CreatePipe(&m_hFromPeer, &hPeerOut, &inherit, 0))
        throw std::runtime_error("cannot create the peer's pipes");
    // Only the peer's ends go to the peer.
    ::SetHandleInformation(m_hToPeer, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(m_hFromPeer, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = hPeerIn;
    startup.hStdOutput = hPeerOut;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine = "\"" + GetBinFolder() + "ostrelin-peer.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL fStarted = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                           nullptr, nullptr, &startup, &process);
    ::CloseHandle(hPeerIn);
    ::CloseHandle(hPeerOut);
    if (!fStarted)
    {
        CloseIfOpen(m_hToPeer);
        CloseIfOpen(m_hFromPeer);
        throw std::runtime_error("cannot start " + commandLine);
    }
    ::CloseHandle(process.hThread);
    m_hProcess = process.hProcess;

    const std::string answer = ReadLine();
    if (answer.compare(0, 6, "ready ") != 0)
    {
        WaitForEnd();
        throw std::runtime_error("peer \"" + arguments + "\" answered \"" + answer + "\"");
    }
    m_name = answer.substr(6);
}

CPeer::~CPeer()
{
    // The end of its input tells the peer to go.
    CloseIfOpen(m_hToPeer);
    WaitForEnd();
}

void CPeer::Release()
{
    WriteLine("release");
    const std::string answer = ReadLine();
    if (answer != "released")
        throw std::runtime_error("peer answered \"" + answer + "\" to release");
}

void CPeer::Die()
{
    WriteLine("die");
    if (::WaitForSingleObject(m_hProcess, nEndWaitMs) != WAIT_OBJECT_0)
        throw std::runtime_error("peer did not die");
}

std::string CPeer::ReadLine()
{
    std::string line;
    const DWORD nStart = ::GetTickCount();
    while (::GetTickCount() - nStart < nAnswerWaitMs)
    {
        DWORD cAvailable = 0;
        if (!::PeekNamedPipe(m_hFromPeer, nullptr, 0, nullptr, &cAvailable, nullptr))
            return line; // the peer has gone
        if (cAvailable == 0)
        {
            ::Sleep(nPollMs);
            continue;
        }
        char ch = 0;
        DWORD cRead = 0;
        if (!::ReadFile(m_hFromPeer, &ch, 1, &cRead, nullptr) || cRead != 1)
            return line;
        if (ch == '\n')
            return line;
        line += ch;
    }
    throw std::runtime_error("no answer from the peer");
}

void CPeer::WriteLine(const std::string& line)
{
    const std::string text = line + "\n";
    DWORD cWritten = 0;
    ::WriteFile(m_hToPeer, text.data(), static_cast<DWORD>(text.size()), &cWritten, nullptr);
}

void CPeer::WaitForEnd()
{
    CloseIfOpen(m_hToPeer);
    if (m_hProcess != nullptr && ::WaitForSingleObject(m_hProcess, nEndWaitMs) != WAIT_OBJECT_0)
        ::TerminateProcess(m_hProcess, 1);
    CloseIfOpen(m_hProcess);
    CloseIfOpen(m_hFromPeer);
}
