// Thirty copies of one installation started at the same moment (created
// suspended, resumed together), the instance guard deciding who runs. Copies
// that probed for the updater at the same moment once took each other for it.
#include "Installation.h"
#include "LauncherTexts.h"
#include "MessageBoxFinder.h"
#include "MutexOwner.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <regex>

namespace
{
const size_t cCopies = 30;

struct CCopy
{
    PROCESS_INFORMATION process = {};
    DWORD exitCode = STILL_ACTIVE;
    std::map<HWND, std::string> boxes; // "caption: text"
};

// Waits until cEnded copies have ended (3 minutes at most, only against
// hangs), pressing OK on their boxes meanwhile. Returns how many ended.
size_t WaitForEnded(std::vector<CCopy>& copies, size_t cEnded)
{
    for (const DWORD nStart = ::GetTickCount();; ::Sleep(20))
    {
        size_t cNow = 0;
        for (CCopy& copy : copies)
        {
            cNow += ::GetExitCodeProcess(copy.process.hProcess, &copy.exitCode) &&
                    copy.exitCode != STILL_ACTIVE;
            for (const CMessageBoxWindow& box : FindMessageBoxes(copy.process.dwProcessId))
            {
                copy.boxes[box.hwnd] = box.caption + ": " + box.text;
                PressOk(box.hwnd);
            }
        }
        if (cNow >= cEnded || ::GetTickCount() - nStart >= 180000)
            return cNow;
    }
}
} // namespace

TEST(Race, ThirtyCopiesStartedTogether)
{
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceFrequency(&frequency);
    const std::string hold = "OstrelinRaceHold" + std::to_string(::GetCurrentProcessId());
    // Each copy in turn holds the installation for its task's delay and its own
    // run and exit, about a tenth of a second under Wine: 29 turns pass well
    // within the 30 s that the last copy waits.
    const long nTurnMs = 20;
    const struct
    {
        const char* pszCase;
        int iRoot; // copies with %ResourceRoot%: 0 none, 1 all, 2 every second one
        std::string attributes;
        std::map<DWORD, size_t> exitCodes;
        bool fUpdater = false;
    } cases[] = {
        // The copy that runs holds its task open until the others have ended,
        // so that none can start after it.
        {"without a root exactly one runs", 0, "WaitEvent='" + hold + "'", {{0, 1}, {3, 29}}},
        {"with a root all run, one after the other", 1, "", {{0, cCopies}}},
        // Each abandoned instance mutex goes to the next waiting copy.
        {"with a root all run, each dying in its task", 1, "Terminate='9'", {{9, cCopies}}},
        {"an updater holding the installation stops them all", 2, "", {{2, cCopies}}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszCase);
        CInstallation installation("race");
        const std::string log = installation.Root() + "\\tasks.log";
        installation.WriteConfig(
            std::string("<Config><Run><Task CLSID='") + szOstrelinTestTaskClsid + "' Log='" + log +
            "' Timestamp='1' DelayMs='" + std::to_string(nTurnMs) + "' OverlapMutex='" + hold +
            "Overlap' " + c.attributes + "/></Run></Config>");
        const HANDLE hHold = ::CreateEventA(nullptr, TRUE, FALSE, hold.c_str());
        const std::unique_ptr<CMutexOwner> updater(
            c.fUpdater ? new CMutexOwner(CMutexOwner::Kind::Own, szExclusiveMutexName) : nullptr);
        std::vector<CCopy> copies(cCopies);
        for (size_t i = 0; i < cCopies; ++i)
        {
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            std::string commandLine = installation.CommandLine(
                c.iRoot == 1 || (c.iRoot == 2 && i % 2) ? installation.RootArgument() : "");
            ASSERT_TRUE(::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                         CREATE_SUSPENDED, nullptr, nullptr, &startup,
                                         &copies[i].process));
        }
        for (CCopy& copy : copies)
            ::ResumeThread(copy.process.hThread);
        if (c.iRoot == 0)
        {
            EXPECT_EQ(cCopies - 1, WaitForEnded(copies, cCopies - 1));
        }
        ::SetEvent(hHold);
        EXPECT_EQ(cCopies, WaitForEnded(copies, cCopies));
        ::CloseHandle(hHold);

        // The task's log: per copy that ran, the counter at its Init and Run.
        std::map<DWORD, std::vector<long long>> turns;
        std::ifstream lines(log);
        const std::regex pattern("^(init|run) - pid=([0-9]+).* qpc=([0-9]+)\r?$"); // no overlap
        std::smatch match;
        for (std::string line; std::getline(lines, line);)
        {
            if (std::regex_match(line, match, pattern))
                turns[std::stoul(match[2])].push_back(std::stoll(match[3]));
            else
                ADD_FAILURE() << line;
        }
        std::map<DWORD, size_t> exitCodes;
        for (const CCopy& copy : copies)
        {
            ++exitCodes[copy.exitCode];
            std::string boxes;
            for (const auto& box : copy.boxes)
                boxes += box.second;
            EXPECT_EQ(c.fUpdater ? UpdateBox().caption + ": " + UpdateBox().text : "", boxes);
            EXPECT_EQ(copy.exitCode == 0 || copy.exitCode == 9,
                      turns.count(copy.process.dwProcessId) == 1)
                << "process " << copy.process.dwProcessId << " ended with " << copy.exitCode;
            ::TerminateProcess(copy.process.hProcess, 1); // only one that hangs
            ::CloseHandle(copy.process.hProcess);
            ::CloseHandle(copy.process.hThread);
        }
        EXPECT_EQ(c.exitCodes, exitCodes);

        // A copy's Init comes only after the copy before it has waited out its
        // Run's delay: it had the installation only once that one ended.
        std::vector<std::vector<long long>> ordered;
        for (const auto& turn : turns)
        {
            EXPECT_EQ(2u, turn.second.size()) << "lines of process " << turn.first;
            ordered.push_back(turn.second.size() == 2 ? turn.second : std::vector<long long>(2));
        }
        std::sort(ordered.begin(), ordered.end());
        for (size_t i = 1; i < ordered.size(); ++i)
        {
            EXPECT_GE((ordered[i][0] - ordered[i - 1][1]) * 1000.0 / frequency.QuadPart,
                      nTurnMs - 1.0)
                << "copy " << i << " began before its turn";
        }
    }
}
