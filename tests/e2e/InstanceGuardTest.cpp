// The launcher against other copies and the updater: real named mutexes, the
// exact boxes, records and exit codes a user would meet; the others played by
// this process (CMutexOwner). Every installation has an empty task list, so a
// launcher that passes the guard ends at once with 0 and shows nothing; an end
// in the guard writes both banners and ends with the guard's result.
#include "Installation.h"
#include "LauncherTexts.h"
#include "MessageBoxFinder.h"
#include "MutexOwner.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

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
        const std::string held = c.pszHeld, start = c.pszStart;
        const CInstallation& installation = start.find("other") != 0 ? guarded : other;
        const std::string commandLine =
            start == "short"
                ? guarded.ShortCommandLine()
                : installation.CommandLine(
                      start.find("root") != std::string::npos ? installation.RootArgument() : "");
        SCOPED_TRACE(held + ", " + start + ": " + commandLine);
        std::vector<std::unique_ptr<CMutexOwner>> owners;
        std::istringstream objects(held);
        for (std::string object; objects >> object;)
            owners.push_back(
                std::make_unique<CMutexOwner>(kinds.at(object.substr(0, object.find(':'))),
                                              names.at(object.substr(object.find(':') + 1))));

        // While the box is up, the launcher has closed its own fixed mutexes.
        bool fOpenAtBox = false;
        CRunOptions options;
        options.onEvent = [&](const CTraceEvent& event)
        {
            for (const char* pszName : {"register", "exclusive"})
            {
                if (event.kind != TraceEventKind::MessageBox)
                    break;
                const HANDLE hMutex = ::OpenMutexA(SYNCHRONIZE, FALSE, names.at(pszName).c_str());
                fOpenAtBox |=
                    hMutex && held.find(std::string("own:") + pszName) == std::string::npos;
                if (hMutex)
                    ::CloseHandle(hMutex);
            }
        };
        std::future<CSessionResult> run =
            std::async(std::launch::async,
                       [&] { return CInstallation::RunCommandLine(commandLine, options); });
        if (start.find("release") != std::string::npos ||
            start.find("abandon") != std::string::npos)
        {
            // A correct launcher waits 30 s here; this only proves it did not go on.
            EXPECT_EQ(std::future_status::timeout, run.wait_for(std::chrono::seconds(2)));
            start.find("release") != std::string::npos ? owners.back()->Release()
                                                       : owners.back()->Abandon();
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

// Thirty copies started at the same moment (created suspended, resumed
// together). Copies that probed for the updater at the same moment once took
// each other for it.
TEST(Race, ThirtyCopiesStartedTogether)
{
    const size_t cCopies = 30;
    const std::string hold = "OstrelinRaceHold" + std::to_string(::GetCurrentProcessId());
    const struct
    {
        int iRoot; // copies with %ResourceRoot%: 0 none, 1 all, 2 every second one
        std::string attributes;
        std::map<DWORD, size_t> exitCodes;
        bool fUpdater = false;
    } cases[] = {
        // Exactly one runs; it holds its task open until the others have ended,
        // so that none can start after it.
        {0, "WaitEvent='" + hold + "'", {{0, 1}, {3, cCopies - 1}}},
        {1, "", {{0, cCopies}}}, // all run, one after the other
        // Each abandoned instance mutex goes to the next waiting copy.
        {1, "Terminate='9'", {{9, cCopies}}},
        {2, "", {{2, cCopies}}, true}, // an updater holding the installation stops them all
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.attributes + (c.fUpdater ? " with the updater" : ""));
        CInstallation installation("race");
        const std::string log = installation.Root() + "\\tasks.log";
        installation.WriteConfig(std::string("<Config><Run><Task CLSID='") +
                                 szOstrelinTestTaskClsid + "' Log='" + log +
                                 "' DelayMs='20' OverlapMutex='" + hold + "Overlap' " +
                                 c.attributes + "/></Run></Config>");
        const HANDLE hHold = ::CreateEventA(nullptr, TRUE, FALSE, hold.c_str());
        const std::unique_ptr<CMutexOwner> updater(
            c.fUpdater ? new CMutexOwner(CMutexOwner::Kind::Own, szExclusiveMutexName) : nullptr);
        std::vector<PROCESS_INFORMATION> copies(cCopies);
        std::vector<DWORD> exitCodes(cCopies, STILL_ACTIVE);
        std::vector<std::map<HWND, std::string>> boxes(cCopies); // "caption: text"
        for (size_t i = 0; i < cCopies; ++i)
        {
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            std::string commandLine = installation.CommandLine(
                c.iRoot == 1 || (c.iRoot == 2 && i % 2) ? installation.RootArgument() : "");
            ASSERT_TRUE(::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                         CREATE_SUSPENDED, nullptr, nullptr, &startup, &copies[i]));
        }
        for (const PROCESS_INFORMATION& copy : copies)
            ::ResumeThread(copy.hThread);
        // Waits until cWanted copies have ended (3 minutes at most, only against
        // hangs), pressing OK on their boxes meanwhile.
        const auto waitFor = [&](size_t cWanted)
        {
            size_t cEnded = 0;
            for (const DWORD nStart = ::GetTickCount();
                 cEnded < cWanted && ::GetTickCount() - nStart < 180000; ::Sleep(20))
            {
                cEnded = 0;
                for (size_t i = 0; i < cCopies; ++i)
                {
                    cEnded += ::GetExitCodeProcess(copies[i].hProcess, &exitCodes[i]) &&
                              exitCodes[i] != STILL_ACTIVE;
                    for (const CMessageBoxWindow& box : FindMessageBoxes(copies[i].dwProcessId))
                    {
                        boxes[i][box.hwnd] = box.caption + ": " + box.text;
                        PressOk(box.hwnd);
                    }
                }
            }
            return cEnded;
        };
        if (c.iRoot == 0)
        {
            EXPECT_EQ(cCopies - 1, waitFor(cCopies - 1));
        }
        ::SetEvent(hHold);
        EXPECT_EQ(cCopies, waitFor(cCopies));
        ::CloseHandle(hHold);

        // Per copy that ran, its Init and Run lines; a Run that began while
        // another one ran ends with "overlap".
        std::map<std::string, std::string> turns;
        std::ifstream lines(log);
        for (std::string line, verb, name, pid; std::getline(lines, line);)
        {
            std::istringstream(line) >> verb >> name >> pid;
            turns[pid] += verb + (line.find("overlap") == std::string::npos ? " " : " overlap ");
        }
        std::map<DWORD, size_t> exitCounts;
        for (size_t i = 0; i < cCopies; ++i)
        {
            ++exitCounts[exitCodes[i]];
            std::string seen;
            for (const auto& box : boxes[i])
                seen += box.second;
            EXPECT_EQ(c.fUpdater ? UpdateBox().caption + ": " + UpdateBox().text : "", seen);
            EXPECT_EQ(exitCodes[i] == 0 || exitCodes[i] == 9 ? "init run " : "",
                      turns["pid=" + std::to_string(copies[i].dwProcessId)])
                << "process " << copies[i].dwProcessId << " ended with " << exitCodes[i];
            ::TerminateProcess(copies[i].hProcess, 1); // only one that hangs
            ::CloseHandle(copies[i].hProcess);
            ::CloseHandle(copies[i].hThread);
        }
        EXPECT_EQ(c.exitCodes, exitCounts);
        EXPECT_EQ(cCopies, turns.size()) << "log lines of other processes";
    }
}
