// Thirty copies of one installation started at the same moment, the instance
// guard deciding who runs: real launcher processes, real named mutexes, the
// test task's log. Copies that probed for the updater at the same moment once
// took each other for it and showed the update message.
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
// Each copy in turn holds the installation for its task's delay and its own
// run and exit, about a tenth of a second under Wine; 29 of them must pass
// well within the 30 s that the last one waits.
const long nTurnDelayMs = 20;

struct CCopy
{
    PROCESS_INFORMATION process = {};
    DWORD exitCode = STILL_ACTIVE;
    std::vector<HWND> boxesSeen;
    std::vector<std::string> boxes; // "caption: text", each box once
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
            if (::WaitForSingleObject(copy.process.hProcess, 0) == WAIT_OBJECT_0)
            {
                ::GetExitCodeProcess(copy.process.hProcess, &copy.exitCode);
                ++cNow;
                continue;
            }
            for (const CMessageBoxWindow& box : FindMessageBoxes(copy.process.dwProcessId))
            {
                // A pressed box may still be seen before it closes: counted once.
                if (std::count(copy.boxesSeen.begin(), copy.boxesSeen.end(), box.hwnd) == 0)
                    copy.boxes.push_back(box.caption + ": " + box.text);
                copy.boxesSeen.push_back(box.hwnd);
                PressOk(box.hwnd);
            }
        }
        if (cNow >= cEnded || ::GetTickCount() - nStart >= 180000)
            return cNow;
    }
}

struct CTurn
{
    long long init = 0, run = 0; // the performance counter on entry
    int cLines = 0;
    bool overlap = false; // another copy's Run was under way at this one's
};

// The turns of the copies that ran their task, by process id.
std::map<DWORD, CTurn> ReadTurns(const std::string& path)
{
    std::map<DWORD, CTurn> turns;
    std::ifstream log(path);
    const std::regex pattern("^(init|run) \\S+ pid=([0-9]+).* qpc=([0-9]+)( overlap)?\r?$");
    std::smatch match;
    for (std::string line; std::getline(log, line);)
    {
        EXPECT_TRUE(std::regex_match(line, match, pattern)) << line;
        CTurn& turn = turns[std::stoul(match[2])];
        (match[1] == "init" ? turn.init : turn.run) = std::stoll(match[3]);
        turn.overlap |= match[4].matched;
        ++turn.cLines;
    }
    return turns;
}
} // namespace

TEST(Race, ThirtyCopiesStartedTogether)
{
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceFrequency(&frequency);
    const std::string pid = std::to_string(::GetCurrentProcessId());
    const std::vector<std::string> updateBox = {UpdateBox().caption + ": " + UpdateBox().text};
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
        {"without a root exactly one runs",
         0,
         "WaitEvent='OstrelinRaceHold" + pid + "'",
         {{0, 1}, {3, cCopies - 1}}},
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
        installation.WriteConfig(std::string("<Config><Run><Task CLSID='") +
                                 szOstrelinTestTaskClsid + "' Name='Copy' Log='" + log +
                                 "' Timestamp='1' DelayMs='" + std::to_string(nTurnDelayMs) +
                                 "' OverlapMutex='OstrelinRace" + pid + "' " + c.attributes +
                                 "/></Run></Config>");
        const HANDLE hHold =
            ::CreateEventA(nullptr, TRUE, FALSE, ("OstrelinRaceHold" + pid).c_str());
        const std::unique_ptr<CMutexOwner> updater(
            c.fUpdater ? new CMutexOwner(CMutexOwner::Kind::Own, szExclusiveMutexName) : nullptr);
        // Created suspended, then resumed together.
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

        const std::map<DWORD, CTurn> turns = ReadTurns(log);
        std::map<DWORD, size_t> exitCodes;
        for (const CCopy& copy : copies)
        {
            ++exitCodes[copy.exitCode];
            EXPECT_EQ(c.fUpdater ? updateBox : std::vector<std::string>(), copy.boxes);
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
        std::vector<CTurn> ordered;
        for (const auto& turn : turns)
        {
            EXPECT_EQ(2, turn.second.cLines) << "process " << turn.first;
            EXPECT_FALSE(turn.second.overlap) << "process " << turn.first;
            ordered.push_back(turn.second);
        }
        std::sort(ordered.begin(), ordered.end(),
                  [](const CTurn& a, const CTurn& b) { return a.init < b.init; });
        for (size_t i = 1; i < ordered.size(); ++i)
            EXPECT_GE((ordered[i].init - ordered[i - 1].run) * 1000.0 / frequency.QuadPart,
                      nTurnDelayMs - 1.0)
                << "copy " << i << " began before its turn";
    }
}
