// The launcher against other copies and the updater: real processes, real
// named mutexes, the exact boxes, records and exit codes a user would meet.
// Every installation has an empty task list, so that a launcher that passes
// the guard ends at once with 0 and shows nothing.
#include "Installation.h"
#include "LauncherTexts.h"
#include "Peer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace
{
struct CTestInstallation : CInstallation
{
    explicit CTestInstallation(const std::string& name) : CInstallation(name)
    {
        WriteConfig(szEmptyRunConfig);
    }
};

void ExpectProceeded(const CSessionResult& result, const std::string& context)
{
    EXPECT_EQ(SessionOutcome::Exited, result.outcome) << context;
    EXPECT_EQ(0u, result.exitCode) << context;
    EXPECT_TRUE(result.boxes.empty()) << context;
}

// An end in the guard goes through the main routine's closing steps.
void ExpectGuardEnd(const CSessionResult& result, DWORD exitCode,
                    const std::vector<CMessageBoxSeen>& boxes, const std::string& context)
{
    EXPECT_EQ(SessionOutcome::Exited, result.outcome) << context;
    EXPECT_EQ(exitCode, result.exitCode) << context;
    EXPECT_EQ(boxes, result.boxes) << context;
    EXPECT_EQ(ClosingBanners(), result.records) << context;
}

bool MutexExists(const char* pszName)
{
    const HANDLE hMutex = ::OpenMutexA(SYNCHRONIZE, FALSE, pszName);
    if (hMutex != nullptr)
        ::CloseHandle(hMutex);
    return hMutex != nullptr;
}

// Run options that note, while the box is still up, whether a named mutex
// that only the launcher could hold still exists.
CRunOptions CheckingAtBox(const char* pszName, bool& existedAtBox)
{
    CRunOptions options;
    options.onEvent = [pszName, &existedAtBox](const CTraceEvent& event)
    {
        if (event.kind == TraceEventKind::MessageBox)
            existedAtBox = MutexExists(pszName);
    };
    return options;
}
} // namespace

TEST(InstanceGuard, UpdaterStopsEveryStartWithTheUpdateMessage)
{
    CTestInstallation free("free");
    CTestInstallation taken("taken");
    const CPeer updater = CPeer::Owning(szExclusiveMutexName);
    const CPeer running = CPeer::OwningInstance(taken);

    const struct
    {
        const CInstallation& installation;
        std::string arguments;
    } starts[] = {
        {free, ""},
        {free, free.RootArgument()},
        {taken, ""},
        // Would wait for the running copy, but the update probe comes first.
        {taken, taken.RootArgument()},
    };
    for (const auto& start : starts)
    {
        bool registerExistedAtBox = true;
        const CSessionResult result = start.installation.Run(
            start.arguments, CheckingAtBox(szRegisterMutexName, registerExistedAtBox));
        const std::string context = start.installation.CommandLine(start.arguments);
        ExpectGuardEnd(result, 2, {UpdateBox()}, context);
        EXPECT_FALSE(registerExistedAtBox) << "handles are closed before the box; " << context;
    }
}

TEST(InstanceGuard, HandleWithoutOwnershipDoesNotStop)
{
    CTestInstallation installation("club");
    const CPeer holder = CPeer::Holding(szExclusiveMutexName);
    ExpectProceeded(installation.Run(), "exclusive mutex held, not owned");
}

TEST(InstanceGuard, AbandonedExclusiveMutexIsTakenOver)
{
    CTestInstallation installation("club");
    // A running copy keeps the object alive while the updater dies owning it.
    const CPeer runningCopy = CPeer::Holding(szExclusiveMutexName);
    CPeer updater = CPeer::Owning(szExclusiveMutexName);
    updater.Die();
    ExpectProceeded(installation.Run(), "exclusive mutex abandoned");
}

TEST(InstanceGuard, FixedNameTakenByAnotherKindOfObject)
{
    const struct
    {
        const char* pszTaken;
        const char* pszOther; // created by the launcher, closed before the box
    } cases[] = {
        {szRegisterMutexName, szExclusiveMutexName},
        {szExclusiveMutexName, szRegisterMutexName},
    };
    for (const auto& c : cases)
    {
        CTestInstallation installation(std::string("club-") + c.pszTaken);
        const CPeer squatter = CPeer::WithEvent(c.pszTaken);
        bool otherExistedAtBox = true;
        const CSessionResult result = installation.Run(
            installation.RootArgument(), CheckingAtBox(c.pszOther, otherExistedAtBox));
        ExpectGuardEnd(result, 1, {LoadingErrorBox()}, c.pszTaken);
        EXPECT_FALSE(otherExistedAtBox) << c.pszTaken;
    }
}

TEST(InstanceGuard, InstanceNameTakenByAnotherKindOfObjectRunsUnguarded)
{
    CTestInstallation installation("club");
    const CPeer squatter = CPeer::WithEvent(installation.InstanceKey());
    ExpectProceeded(installation.Run(), "without root");
    ExpectProceeded(installation.Run(installation.RootArgument()), "with root");
}

// Also the process entry: an end in the guard writes both banners, in order,
// and the guard's result is the exit code.
TEST(InstanceGuard, SecondCopyWithoutRootEndsAtOnceWithoutMessage)
{
    CTestInstallation installation("club");
    CPeer running = CPeer::OwningInstance(installation);
    EXPECT_EQ(installation.InstanceKey(), running.Name());

    CRunOptions atOnce;
    atOnce.timeoutMs = 20000; // well below the 30 s wait of a start with a root
    ExpectGuardEnd(installation.Run("", atOnce), 3, {}, "instance owned");
    // The running copy still owns its mutex.
    EXPECT_NO_THROW(running.Release());
}

TEST(InstanceGuard, CopyWithRootProceedsWhenTheRunningCopyEnds)
{
    const struct
    {
        const char* pszHow;
        void (CPeer::*pfnLetGo)();
    } cases[] = {
        {"releases", &CPeer::Release},
        {"dies", &CPeer::Die},
    };
    for (const auto& c : cases)
    {
        CTestInstallation installation(std::string("club-") + c.pszHow);
        CPeer running = CPeer::OwningInstance(installation);
        std::future<CSessionResult> run = installation.Start(installation.RootArgument());

        // A correct launcher waits 30 s here; this only proves it did not go on.
        EXPECT_EQ(std::future_status::timeout, run.wait_for(std::chrono::seconds(2))) << c.pszHow;
        (running.*c.pfnLetGo)();
        const CSessionResult result = run.get();
        ExpectProceeded(result, c.pszHow);
        EXPECT_LT(result.elapsedMs, 25000u) << c.pszHow;
    }
}

// The one test that waits out the full 30 s.
TEST(InstanceGuard, CopyWithRootGivesUpAfter30Seconds)
{
    CTestInstallation installation("club");
    const CPeer running = CPeer::OwningInstance(installation);
    const CSessionResult result = installation.Run(installation.RootArgument());
    ExpectGuardEnd(result, 3, {}, "instance owned for good");
    EXPECT_GE(result.elapsedMs, 29900u);
}

TEST(InstanceGuard, DifferentInstallationsRunSideBySide)
{
    CTestInstallation first("first");
    CTestInstallation second("second");
    const CPeer running = CPeer::OwningInstance(first);

    const struct
    {
        std::string commandLine;
        DWORD exitCode;
    } starts[] = {
        {second.CommandLine(), 0},
        {second.CommandLine(second.RootArgument()), 0},
        // The same directory spelled differently is another installation.
        {first.ShortCommandLine(), 0},
        {first.CommandLine(), 3},
    };
    for (const auto& start : starts)
    {
        const CSessionResult result = CInstallation::RunCommandLine(start.commandLine);
        EXPECT_EQ(start.exitCode, result.exitCode) << start.commandLine;
        EXPECT_TRUE(result.boxes.empty()) << start.commandLine;
    }
}
