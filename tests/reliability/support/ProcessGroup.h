// Copies of a program started at the same moment: every process is created
// suspended, then all are resumed together. Message boxes they show are
// read and dismissed while the group is waited for.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct CGroupMember
{
    HANDLE hProcess = nullptr;
    DWORD processId = 0;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    std::vector<std::string> boxTexts; // each box once, in the order seen
};

class CProcessGroup
{
public:
    // Throws std::runtime_error when a process cannot be created.
    explicit CProcessGroup(const std::vector<std::string>& commandLines);
    ~CProcessGroup(); // ends what still runs
    CProcessGroup(const CProcessGroup&) = delete;
    CProcessGroup& operator=(const CProcessGroup&) = delete;

    // The start barrier: resumes every main thread, one right after the other.
    void ResumeAll();

    // Waits until at least cEnded members have ended, or timeoutMs has
    // passed, pressing OK on their boxes meanwhile. Returns how many ended.
    size_t WaitForEnded(size_t cEnded, DWORD timeoutMs);

    const std::vector<CGroupMember>& Members() const { return m_members; }

private:
    void LookForBoxes();

    std::vector<CGroupMember> m_members;
    std::vector<HANDLE> m_threads;
    std::vector<std::pair<DWORD, HWND>> m_seen;
};
