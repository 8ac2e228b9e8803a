// Copies of a program started at the same moment: every process is created
// suspended, then all are resumed together. Message boxes they show are read
// and dismissed while the group is waited for.
#pragma once

#include "MessageBoxFinder.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

struct CGroupMember
{
    PROCESS_INFORMATION process = {};
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    std::vector<std::string> boxes; // "caption: text", each box once
    std::vector<HWND> seen;
};

class CProcessGroup
{
public:
    explicit CProcessGroup(const std::vector<std::string>& commandLines)
    {
        for (std::string commandLine : commandLines)
        {
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            m_members.emplace_back();
            if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                  CREATE_SUSPENDED, nullptr, nullptr, &startup,
                                  &m_members.back().process))
                throw std::runtime_error("cannot start " + commandLine);
        }
        for (CGroupMember& member : m_members) // the start barrier
            ::ResumeThread(member.process.hThread);
    }
    ~CProcessGroup()
    {
        for (CGroupMember& member : m_members)
        {
            if (!member.ended)
                ::TerminateProcess(member.process.hProcess, 1);
            ::CloseHandle(member.process.hProcess);
            ::CloseHandle(member.process.hThread);
        }
    }
    CProcessGroup(const CProcessGroup&) = delete;
    CProcessGroup& operator=(const CProcessGroup&) = delete;

    // Waits until at least cEnded members have ended (3 minutes at most, only
    // against hangs), pressing OK on their boxes meanwhile. Returns how many ended.
    size_t WaitForEnded(size_t cEnded)
    {
        for (const DWORD nStart = ::GetTickCount();; ::Sleep(20))
        {
            size_t cNow = 0;
            for (CGroupMember& member : m_members)
            {
                if (!member.ended && ::WaitForSingleObject(member.process.hProcess, 0) == 0)
                    member.ended = ::GetExitCodeProcess(member.process.hProcess, &member.exitCode);
                cNow += member.ended;
                if (member.ended)
                    continue;
                for (const CMessageBoxWindow& box : FindMessageBoxes(member.process.dwProcessId))
                {
                    // A pressed box may still be seen before it closes: counted once.
                    if (std::find(member.seen.begin(), member.seen.end(), box.hwnd) ==
                        member.seen.end())
                    {
                        member.seen.push_back(box.hwnd);
                        member.boxes.push_back(box.caption + ": " + box.text);
                    }
                    PressOk(box.hwnd);
                }
            }
            if (cNow >= cEnded || ::GetTickCount() - nStart >= 180000)
                return cNow;
        }
    }

    std::vector<CGroupMember>& Members() { return m_members; }

private:
    std::vector<CGroupMember> m_members;
};
