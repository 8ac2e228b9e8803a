// Thirty copies of one installation started at the same moment (created
// suspended, then resumed together), with the instance guard deciding who
// runs: real launcher processes, real named mutexes, the test task's log.
//   OSTRELIN_RACE_ROUNDS  how often each race is run (default 1, long 5)
#include "ProcessGroup.h"
#include "ReliabilitySettings.h"

#include "Installation.h"
#include "LauncherTexts.h"
#include "Peer.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>

namespace
{
const size_t cCopies = 30;
const DWORD nGroupWaitMs = 180000; // only against hangs
// Each copy in turn holds the installation for its task's delay and its own
// run and exit, about a tenth of a second under Wine; 29 of them must pass
// well within the 30 s that the last one waits.
const long nTurnDelayMs = 20;

struct CLogLine
{
    std::string verb;
    DWORD processId = 0;
    long long counter = 0; // the performance counter, when the line has one
    bool overlap = false;
};

std::vector<CLogLine> ReadLog(const std::string& path)
{
    std::vector<CLogLine> lines;
    std::ifstream log(path);
    std::string text;
    const std::regex pattern("^(init|run) \\S+ pid=([0-9]+).*?( qpc=([0-9]+))?( overlap)?\r?$");
    while (std::getline(log, text))
    {
        std::smatch match;
        if (!std::regex_match(text, match, pattern))
        {
            ADD_FAILURE() << "log line " << text;
            continue;
        }
        CLogLine line;
        line.verb = match[1];
        line.processId = std::stoul(match[2]);
        line.counter = match[4].matched ? std::stoll(match[4]) : 0;
        line.overlap = match[5].matched;
        lines.push_back(line);
    }
    return lines;
}

double CounterMs(long long nTicks)
{
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(nTicks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string UniqueName(const char* pszWhat)
{
    static int iName = 0;
    return std::string("OstrelinRace") + pszWhat + std::to_string(::GetCurrentProcessId()) + "_" +
           std::to_string(++iName);
}

std::string Config(const std::string& log, const std::string& attributes)
{
    return std::string("<?xml version=\"1.0\"?>\n<Config><Run><Task CLSID=\"") +
           szOstrelinTestTaskClsid + "\" Name=\"Copy\" Log=\"" + log + "\" " + attributes +
           "/></Run></Config>\n";
}

std::map<DWORD, size_t> ExitCodeCounts(const CProcessGroup& group)
{
    std::map<DWORD, size_t> counts;
    for (const CGroupMember& member : group.Members())
        ++counts[member.ended ? member.exitCode : STILL_ACTIVE];
    return counts;
}

unsigned long Rounds()
{
    return CountFromEnvironment("OSTRELIN_RACE_ROUNDS", 1, 5);
}

// Every copy with %ResourceRoot% runs its task, one after the other; each
// ends with exitCode (0, or the Terminate code of a copy that dies).
void ExpectCopiesInTurn(const char* pszName, const std::string& extraAttributes, DWORD exitCode,
                        const char* pszHow)
{
    for (unsigned long iRound = 0; iRound < Rounds(); ++iRound)
    {
        CInstallation installation(pszName + std::to_string(iRound));
        const std::string log = installation.Root() + "\\tasks.log";
        installation.WriteConfig(Config(
            log, "Timestamp=\"1\" DelayMs=\"" + std::to_string(nTurnDelayMs) +
                     "\" OverlapMutex=\"" + UniqueName("Overlap") + "\" " + extraAttributes));
        CProcessGroup group(std::vector<std::string>(
            cCopies, installation.CommandLine(installation.RootArgument())));
        group.ResumeAll();
        EXPECT_EQ(cCopies, group.WaitForEnded(cCopies, nGroupWaitMs));
        EXPECT_EQ((std::map<DWORD, size_t>{{exitCode, cCopies}}), ExitCodeCounts(group));

        // Per copy: its Init and its Run line; in the order of the Inits.
        std::map<DWORD, std::pair<long long, long long>> turns;
        size_t cOverlaps = 0;
        for (const CLogLine& line : ReadLog(log))
        {
            auto& turn = turns[line.processId];
            (line.verb == "init" ? turn.first : turn.second) = line.counter;
            cOverlaps += line.overlap;
        }
        std::vector<std::pair<long long, long long>> ordered;
        for (const auto& turn : turns)
            ordered.push_back(turn.second);
        std::sort(ordered.begin(), ordered.end());
        EXPECT_EQ(cCopies, ordered.size()) << "copies that ran their task";
        EXPECT_EQ(0u, cOverlaps) << "Runs that overlapped";

        // A copy's Init comes only after the copy before it has waited out
        // its Run's delay: it had the installation only once that one ended.
        double shortestGapMs = 1e9;
        for (size_t i = 1; i < ordered.size(); ++i)
        {
            const double gapMs = CounterMs(ordered[i].first - ordered[i - 1].second);
            shortestGapMs = std::min(shortestGapMs, gapMs);
            EXPECT_GE(gapMs, nTurnDelayMs - 1.0) << "copy " << i << " began before its turn";
        }
        const double spanMs =
            ordered.empty() ? 0 : CounterMs(ordered.back().first - ordered[0].first);
        std::printf(
            "round %lu: %zu copies started together with %%ResourceRoot%%, each %s: %zu ran "
            "their task, one at a time (%zu overlaps); the shortest time from one Run to "
            "the next Init %.0f ms (its delay %ld ms); the last began %.1f s after the "
            "first (the instance wait is 30 s)\n",
            iRound + 1, cCopies, pszHow, ordered.size(), cOverlaps, shortestGapMs, nTurnDelayMs,
            spanMs / 1000);
    }
}
} // namespace

TEST(Race, WithoutRootExactlyOneCopyRunsItsTasks)
{
    for (unsigned long iRound = 0; iRound < Rounds(); ++iRound)
    {
        CInstallation installation("race-noroot" + std::to_string(iRound));
        const std::string log = installation.Root() + "\\tasks.log";
        // The copy that runs holds its task open until the others have ended,
        // so that no copy can start after it.
        const std::string hold = UniqueName("Hold");
        const HANDLE hHold = ::CreateEventA(nullptr, TRUE, FALSE, hold.c_str());
        installation.WriteConfig(Config(log, "WaitEvent=\"" + hold + "\""));

        CProcessGroup group(std::vector<std::string>(cCopies, installation.CommandLine()));
        group.ResumeAll();
        const size_t cEndedWhileHeld = group.WaitForEnded(cCopies - 1, nGroupWaitMs);
        ::SetEvent(hHold);
        EXPECT_EQ(cCopies, group.WaitForEnded(cCopies, nGroupWaitMs));
        ::CloseHandle(hHold);

        const std::map<DWORD, size_t> exitCodes = ExitCodeCounts(group);
        EXPECT_EQ((std::map<DWORD, size_t>{{0, 1}, {3, cCopies - 1}}), exitCodes);
        EXPECT_EQ(cCopies - 1, cEndedWhileHeld);
        const std::vector<CLogLine> lines = ReadLog(log);
        std::set<DWORD> runners;
        for (const CLogLine& line : lines)
            runners.insert(line.processId);
        EXPECT_EQ(2u, lines.size()) << "one init and one run line";
        for (const CGroupMember& member : group.Members())
        {
            EXPECT_EQ(member.exitCode == 0, runners.count(member.processId) == 1)
                << "process " << member.processId << " ended with " << member.exitCode;
            EXPECT_TRUE(member.boxTexts.empty()) << member.boxTexts.front();
        }
        std::printf("round %lu: %zu copies started together without %%ResourceRoot%%: %zu ran its "
                    "task (exit 0), %zu ended with 3 while it held its task open\n",
                    iRound + 1, cCopies, runners.size(), exitCodes.count(3) ? exitCodes.at(3) : 0);
    }
}

TEST(Race, WithRootEveryCopyRunsInTurn)
{
    ExpectCopiesInTurn("race-turns", "", 0, "ending normally");
}

TEST(Race, CopiesThatDieHandTheInstallationToTheWaitingOnes)
{
    // Each copy ends by TerminateProcess inside its task: the instance mutex
    // is abandoned, and the next waiting copy takes it.
    ExpectCopiesInTurn("race-deaths", "Terminate=\"9\"", 9, "dying in its task (exit 9)");
}

TEST(Race, UpdaterHoldingTheInstallationStopsThirtyCopies)
{
    for (unsigned long iRound = 0; iRound < Rounds(); ++iRound)
    {
        CInstallation installation("race-update" + std::to_string(iRound));
        const std::string log = installation.Root() + "\\tasks.log";
        installation.WriteConfig(Config(log, ""));
        const CPeer updater = CPeer::Owning(szExclusiveMutexName);

        // Half of them would wait for the instance, half would not.
        std::vector<std::string> commandLines;
        for (size_t i = 0; i < cCopies; ++i)
            commandLines.push_back(
                installation.CommandLine(i % 2 ? installation.RootArgument() : std::string()));
        CProcessGroup group(commandLines);
        group.ResumeAll();
        EXPECT_EQ(cCopies, group.WaitForEnded(cCopies, nGroupWaitMs));

        EXPECT_EQ((std::map<DWORD, size_t>{{2, cCopies}}), ExitCodeCounts(group));
        const std::string updateBox = UpdateBox().caption + ": " + UpdateBox().text;
        size_t cBoxes = 0;
        for (const CGroupMember& member : group.Members())
        {
            EXPECT_EQ(std::vector<std::string>{updateBox}, member.boxTexts)
                << "process " << member.processId;
            cBoxes += member.boxTexts.size();
        }
        EXPECT_TRUE(ReadLog(log).empty()) << "a task ran";
        std::printf("round %lu: %zu copies started together while the updater owned the "
                    "exclusive mutex: %zu ended with 2, %zu update boxes dismissed, %zu tasks "
                    "ran\n",
                    iRound + 1, cCopies, ExitCodeCounts(group)[2], cBoxes, ReadLog(log).size());
    }
}
