#include "ProcessGroup.h"

#include "MessageBoxFinder.h"

#include <algorithm>
#include <stdexcept>

namespace
{
const DWORD nPollMs = 20;
}

CProcessGroup::CProcessGroup(const std::vector<std::string>& commandLines)
{
    for (const std::string& commandLine : commandLines)
    {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, nullptr, &startup, &process))
            throw std::runtime_error("cannot start " + commandLine);
        CGroupMember member;
        member.hProcess = process.hProcess;
        member.processId = process.dwProcessId;
        m_members.push_back(member);
        m_threads.push_back(process.hThread);
    }
}

CProcessGroup::~CProcessGroup()
{
    for (CGroupMember& member : m_members)
    {
        if (!member.ended)
        {
            ::TerminateProcess(member.hProcess, 1);
            ::WaitForSingleObject(member.hProcess, 10000);
        }
        ::CloseHandle(member.hProcess);
    }
    for (HANDLE hThread : m_threads)
        ::CloseHandle(hThread);
}

void CProcessGroup::ResumeAll()
{
    for (HANDLE hThread : m_threads)
        ::ResumeThread(hThread);
}

size_t CProcessGroup::WaitForEnded(size_t cEnded, DWORD timeoutMs)
{
    const DWORD nStart = ::GetTickCount();
    for (;;)
    {
        size_t cNow = 0;
        for (CGroupMember& member : m_members)
        {
            if (!member.ended && ::WaitForSingleObject(member.hProcess, 0) == WAIT_OBJECT_0)
            {
                member.ended = true;
                ::GetExitCodeProcess(member.hProcess, &member.exitCode);
            }
            cNow += member.ended;
        }
        if (cNow >= cEnded || ::GetTickCount() - nStart >= timeoutMs)
            return cNow;
        LookForBoxes();
        ::Sleep(nPollMs);
    }
}

void CProcessGroup::LookForBoxes()
{
    for (CGroupMember& member : m_members)
    {
        if (member.ended)
            continue;
        for (const CMessageBoxWindow& box : FindMessageBoxes(member.processId))
        {
            // A pressed box may still be seen before it closes: counted once,
            // pressed again.
            const auto seen = std::make_pair(member.processId, box.hwnd);
            if (std::find(m_seen.begin(), m_seen.end(), seen) == m_seen.end())
            {
                m_seen.push_back(seen);
                member.boxTexts.push_back(box.caption + ": " + box.text);
            }
            PressOk(box.hwnd);
        }
    }
}
