// The launcher against other copies and the updater: real named mutexes, the
// exact boxes, records and exit codes a user would meet. The others are played
// by this process (CMutexOwner); every installation has an empty task list, so
// that a launcher that passes the guard ends at once with 0 and shows nothing.
// An end in the guard goes through the main routine's closing steps: both
// banners, in order, and the guard's result as the exit code. Then thirty
// copies started at the same moment (created suspended, resumed together):
// copies that probed for the updater at the same moment once took each other
// for it.
#include "Installation.h"
#include "LauncherTexts.h"
#include "MessageBoxFinder.h"
#include "MutexOwner.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

namespace
{
bool MutexExists(const std::string& name)
{
    const HANDLE hMutex = ::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    if (hMutex != nullptr)
        ::CloseHandle(hMutex);
    return hMutex != nullptr;
}

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

TEST(InstanceGuard, UpdaterCopiesAndNamesTakenByOthers)
{
    CInstallation guarded("guarded"), other("other");
    guarded.WriteConfig(szEmptyRunConfig);
    other.WriteConfig(szEmptyRunConfig);
    using Kind = CMutexOwner::Kind;
    const std::map<std::string, Kind> kinds = {{"own", Kind::Own},
                                               {"hold", Kind::Hold},
                                               {"abandoned", Kind::Abandoned},
                                               {"event", Kind::Event}};
    const std::map<std::string, std::string> names = {{"exclusive", szExclusiveMutexName},
                                                      {"register", szRegisterMutexName},
                                                      {"instance", guarded.InstanceKey()}};
    // held: what this process holds while the launcher starts; start: "root" with
    // %ResourceRoot%, "other" installation or the guarded one by its "short" 8.3
    // path, and what the owner of the instance does 2 s after the start.
    const struct
    {
        const char *pszHeld, *pszStart;
        DWORD exitCode;
    } cases[] = {
        {"own:exclusive", "", 2},
        {"own:exclusive", "root", 2},
        {"own:exclusive own:instance", "", 2},
        // Would wait for the running copy, but the update probe comes first.
        {"own:exclusive own:instance", "root", 2},
        {"hold:exclusive", "", 0},
        // A running copy keeps the object alive while the updater dies owning it.
        {"abandoned:exclusive", "", 0},
        {"event:register", "root", 1},
        {"event:exclusive", "root", 1},
        {"event:instance", "", 0}, // unguarded
        {"event:instance", "root", 0},
        {"own:instance", "", 3},
        {"own:instance", "root release", 0},
        {"own:instance", "root abandon", 0},
        {"own:instance", "other", 0},
        {"own:instance", "other root", 0},
        {"own:instance", "short", 0}, // the same folder spelled otherwise: another key
        {"own:instance", "root", 3},  // the one case that waits out the full 30 s
    };
    for (const auto& c : cases)
    {
        const std::string start = c.pszStart;
        const CInstallation& installation = start.find("other") != 0 ? guarded : other;
        const std::string commandLine =
            start == "short"
                ? guarded.ShortCommandLine()
                : installation.CommandLine(
                      start.find("root") != std::string::npos ? installation.RootArgument() : "");
        SCOPED_TRACE(std::string(c.pszHeld) + ", " + start + ": " + commandLine);
        std::vector<std::unique_ptr<CMutexOwner>> held;
        std::istringstream objects(c.pszHeld);
        for (std::string object; objects >> object;)
            held.push_back(
                std::make_unique<CMutexOwner>(kinds.at(object.substr(0, object.find(':'))),
                                              names.at(object.substr(object.find(':') + 1))));

        // While the box is up, the launcher has closed its own fixed mutexes.
        bool fOpenAtBox = false;
        CRunOptions options;
        options.onEvent = [&](const CTraceEvent& event)
        {
            for (const char* pszName : {"register", "exclusive"})
                fOpenAtBox |= event.kind == TraceEventKind::MessageBox &&
                              std::string(c.pszHeld).find(std::string("own:") + pszName) ==
                                  std::string::npos &&
                              MutexExists(names.at(pszName));
        };
        std::future<CSessionResult> run =
            std::async(std::launch::async,
                       [&] { return CInstallation::RunCommandLine(commandLine, options); });
        if (start.find("release") != std::string::npos ||
            start.find("abandon") != std::string::npos)
        {
            // A correct launcher waits 30 s here; this only proves it did not go on.
            EXPECT_EQ(std::future_status::timeout, run.wait_for(std::chrono::seconds(2)));
            start.find("release") != std::string::npos ? held.back()->Release()
                                                       : held.back()->Abandon();
        }
        const CSessionResult result = run.get();
        EXPECT_EQ(SessionOutcome::Exited, result.outcome);
        EXPECT_EQ(c.exitCode, result.exitCode);
        const std::vector<CMessageBoxSeen> boxes[] = {{}, {LoadingErrorBox()}, {UpdateBox()}, {}};
        EXPECT_EQ(boxes[c.exitCode], result.boxes);
        EXPECT_EQ(c.exitCode == 0 ? std::vector<std::string>() : ClosingBanners(), result.records);
        EXPECT_FALSE(fOpenAtBox);
        const bool fWaited = c.exitCode == 3 && start == "root";
        EXPECT_TRUE(fWaited ? result.elapsedMs >= 29900 : result.elapsedMs < 25000)
            << result.elapsedMs << " ms";
    }
}

TEST(Race, ThirtyCopiesStartedTogether)
{
    const std::string hold = "OstrelinRaceHold" + std::to_string(::GetCurrentProcessId());
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
        installation.WriteConfig(std::string("<Config><Run><Task CLSID='") +
                                 szOstrelinTestTaskClsid + "' Log='" + log +
                                 "' DelayMs='20' OverlapMutex='" + hold + "Overlap' " +
                                 c.attributes + "/></Run></Config>");
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

        // The task's log: per copy that ran, its Init and Run lines; a Run that
        // began while another one ran ends with "overlap".
        std::map<DWORD, std::string> turns;
        std::ifstream lines(log);
        std::smatch match;
        for (std::string line; std::getline(lines, line);)
        {
            EXPECT_TRUE(std::regex_match(line, match, std::regex("^(init|run) - pid=([0-9]+).*")));
            turns[std::stoul("0" + match[2].str())] +=
                match[1].str() + (line.find("overlap") == std::string::npos ? " " : " overlap ");
        }
        std::map<DWORD, size_t> exitCodes;
        for (const CCopy& copy : copies)
        {
            ++exitCodes[copy.exitCode];
            std::string boxes;
            for (const auto& box : copy.boxes)
                boxes += box.second;
            EXPECT_EQ(c.fUpdater ? UpdateBox().caption + ": " + UpdateBox().text : "", boxes);
            const bool fRan = copy.exitCode == 0 || copy.exitCode == 9;
            EXPECT_EQ(fRan ? "init run " : "", turns[copy.process.dwProcessId])
                << "process " << copy.process.dwProcessId << " ended with " << copy.exitCode;
            ::TerminateProcess(copy.process.hProcess, 1); // only one that hangs
            ::CloseHandle(copy.process.hProcess);
            ::CloseHandle(copy.process.hThread);
        }
        EXPECT_EQ(c.exitCodes, exitCodes);
        EXPECT_EQ(cCopies, turns.size()) << "log lines of other processes";
    }
}
