// The launcher against other copies and the updater: real named mutexes, the
// exact boxes, records and exit codes a user would meet. The others are played
// by this process (CMutexOwner); every installation has an empty task list, so
// that a launcher that passes the guard ends at once with 0 and shows nothing.
// An end in the guard goes through the main routine's closing steps: both
// banners, in order, and the guard's result as the exit code.
#include "Installation.h"
#include "LauncherTexts.h"
#include "MutexOwner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace
{
using Kind = CMutexOwner::Kind;
enum class LetGo
{
    Never,
    Release,
    Abandon,
};
enum Start // which launcher starts
{
    Guarded,      // the installation whose instance the rows name
    Other,        // another installation
    GuardedShort, // the guarded one, its path in the 8.3 short form: another key
};

bool MutexExists(const char* pszName)
{
    const HANDLE hMutex = ::OpenMutexA(SYNCHRONIZE, FALSE, pszName);
    if (hMutex != nullptr)
        ::CloseHandle(hMutex);
    return hMutex != nullptr;
}
} // namespace

TEST(InstanceGuard, UpdaterCopiesAndNamesTakenByOthers)
{
    CInstallation guarded("guarded"), other("other");
    guarded.WriteConfig(szEmptyRunConfig);
    other.WriteConfig(szEmptyRunConfig);
    const std::string instance = guarded.InstanceKey();
    const struct
    {
        const char* pszCase;
        std::vector<std::pair<Kind, std::string>> held; // by this process during the start
        bool fRoot;
        DWORD exitCode;
        Start eStart = Guarded;
        LetGo eLetGo = LetGo::Never; // what the instance's owner does 2 s after the start
    } cases[] = {
        {"updater", {{Kind::Own, szExclusiveMutexName}}, false, 2},
        {"updater", {{Kind::Own, szExclusiveMutexName}}, true, 2},
        {"updater and a running copy",
         {{Kind::Own, szExclusiveMutexName}, {Kind::Own, instance}},
         false,
         2},
        // Would wait for the running copy, but the update probe comes first.
        {"updater and a running copy",
         {{Kind::Own, szExclusiveMutexName}, {Kind::Own, instance}},
         true,
         2},
        {"exclusive mutex held, not owned", {{Kind::Hold, szExclusiveMutexName}}, false, 0},
        // A running copy keeps the object alive while the updater dies owning it.
        {"exclusive mutex abandoned", {{Kind::Abandoned, szExclusiveMutexName}}, false, 0},
        {"register name taken by an event", {{Kind::Event, szRegisterMutexName}}, true, 1},
        {"exclusive name taken by an event", {{Kind::Event, szExclusiveMutexName}}, true, 1},
        {"instance name taken by an event: unguarded", {{Kind::Event, instance}}, false, 0},
        {"instance name taken by an event: unguarded", {{Kind::Event, instance}}, true, 0},
        {"a running copy", {{Kind::Own, instance}}, false, 3},
        {"a running copy that ends", {{Kind::Own, instance}}, true, 0, Guarded, LetGo::Release},
        {"a running copy that dies", {{Kind::Own, instance}}, true, 0, Guarded, LetGo::Abandon},
        {"a running copy of another installation", {{Kind::Own, instance}}, false, 0, Other},
        {"a running copy of another installation", {{Kind::Own, instance}}, true, 0, Other},
        {"the same folder spelled otherwise", {{Kind::Own, instance}}, false, 0, GuardedShort},
        // The one case that waits out the full 30 s.
        {"a running copy that stays", {{Kind::Own, instance}}, true, 3},
    };
    for (const auto& c : cases)
    {
        const CInstallation& installation = c.eStart == Other ? other : guarded;
        const std::string arguments = c.fRoot ? installation.RootArgument() : "";
        SCOPED_TRACE(std::string(c.pszCase) + ": " + installation.CommandLine(arguments));
        std::vector<std::unique_ptr<CMutexOwner>> held;
        for (const auto& object : c.held)
            held.push_back(std::make_unique<CMutexOwner>(object.first, object.second));

        // While the box is up, the launcher has closed its own fixed mutexes.
        bool fOpenAtBox = false;
        CRunOptions options;
        options.onEvent = [&](const CTraceEvent& event)
        {
            for (const char* pszName : {szRegisterMutexName, szExclusiveMutexName})
            {
                const bool fOurs = c.held.size() > 0 && c.held[0].second == pszName;
                fOpenAtBox |=
                    event.kind == TraceEventKind::MessageBox && !fOurs && MutexExists(pszName);
            }
        };
        std::future<CSessionResult> run =
            c.eStart == GuardedShort ? std::async(std::launch::async,
                                                  [&] {
                                                      return CInstallation::RunCommandLine(
                                                          guarded.ShortCommandLine(), options);
                                                  })
                                     : installation.Start(arguments, options);
        if (c.eLetGo != LetGo::Never)
        {
            // A correct launcher waits 30 s here; this only proves it did not go on.
            EXPECT_EQ(std::future_status::timeout, run.wait_for(std::chrono::seconds(2)));
            c.eLetGo == LetGo::Release ? held.back()->Release() : held.back()->Abandon();
        }
        const CSessionResult result = run.get();
        EXPECT_EQ(SessionOutcome::Exited, result.outcome);
        EXPECT_EQ(c.exitCode, result.exitCode);
        const std::vector<CMessageBoxSeen> boxes[] = {{}, {LoadingErrorBox()}, {UpdateBox()}, {}};
        EXPECT_EQ(boxes[c.exitCode], result.boxes);
        EXPECT_EQ(c.exitCode == 0 ? std::vector<std::string>() : ClosingBanners(), result.records);
        EXPECT_FALSE(fOpenAtBox);
        const bool fWaited = c.exitCode == 3 && c.fRoot;
        EXPECT_TRUE(fWaited ? result.elapsedMs >= 29900 : result.elapsedMs < 25000)
            << result.elapsedMs << " ms";
    }
}
