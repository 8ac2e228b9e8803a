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
#include <map>
#include <memory>
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
