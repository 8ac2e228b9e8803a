// One launcher process through many reload passes: its memory and handles
// stay flat. The test task is pinned, so that the figures are the launcher's
// own. A task DLL with mingw's static runtime leaves handles, memory and one
// TLS slot behind on each unload (under Wine the slots run out after about
// 1,080 loads, and the runtime then aborts the process with exit code 3);
// the short unpinned run reports the cost per reload as information.
//   OSTRELIN_RELOAD_PASSES  pinned passes (default 10000, long 100000)
#include "ReliabilitySettings.h"

#include "Installation.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace
{
struct CFigures
{
    long long privateBytes = 0, handles = 0;
};

// Runs the launcher through cPasses reloads, the run line logging memory every
// nEvery passes; returns the figures in order, and the time taken.
std::vector<CFigures> RunReloads(const char* pszName, unsigned long cPasses, unsigned long nEvery,
                                 bool fPinned, DWORD& elapsedMs)
{
    CInstallation installation(pszName);
    const std::string log = installation.Root() + "\\tasks.log";
    installation.WriteConfig(std::string("<?xml version=\"1.0\"?>\n<Config><Run><Task CLSID=\"") +
                             szOstrelinTestTaskClsid + "\" Name=\"" + pszName +
                             "\" ReloadCount=\"" + std::to_string(cPasses) + "\" LogMemory=\"" +
                             std::to_string(nEvery) + "\" Pin=\"" + (fPinned ? "1" : "0") +
                             "\" Log=\"" + log + "\"/></Run></Config>\n");
    CRunOptions options;
    options.timeoutMs = 120000 + cPasses * 20; // only against hangs
    const CSessionResult result = installation.Run("", options);
    EXPECT_EQ(SessionOutcome::Exited, result.outcome);
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(result.records.empty()) << result.records.front();
    elapsedMs = result.elapsedMs;

    std::vector<CFigures> figures;
    std::ifstream lines(log);
    std::string line;
    const std::regex pattern("private=([0-9]+) handles=([0-9]+)");
    while (std::getline(lines, line))
    {
        std::smatch match;
        if (std::regex_search(line, match, pattern))
            figures.push_back({std::stoll(match[1]), std::stoll(match[2])});
    }
    EXPECT_EQ(cPasses / nEvery + 1, figures.size()) << "memory lines";
    for (size_t i = 0; i < figures.size(); ++i)
        std::printf("  after %6lu reloads: private %9lld bytes, handles %lld\n", i * nEvery,
                    figures[i].privateBytes, figures[i].handles);
    return figures;
}
} // namespace

TEST(LongRun, ReloadPassesLeaveMemoryAndHandlesFlat)
{
    const unsigned long cPasses = CountFromEnvironment("OSTRELIN_RELOAD_PASSES", 10000, 100000);
    const unsigned long nEvery = cPasses >= 10000 ? cPasses / 10 : 1000;
    DWORD elapsedMs = 0;
    const std::vector<CFigures> figures = RunReloads("pinned", cPasses, nEvery, true, elapsedMs);
    ASSERT_GE(figures.size(), 3u);
    // Warmed up after the first stretch; from there on, flat.
    const CFigures& warm = figures[1];
    const CFigures& last = figures.back();
    std::printf("%lu reload passes in one process (task pinned) in %.1f s, %.2f ms a pass: private "
                "bytes %+lld, handles %+lld from pass %lu to the end\n",
                cPasses, elapsedMs / 1000.0, static_cast<double>(elapsedMs) / cPasses,
                last.privateBytes - warm.privateBytes, last.handles - warm.handles, nEvery);
    EXPECT_LE(last.privateBytes - warm.privateBytes, 256 * 1024) << "private bytes grew";
    EXPECT_LE(last.handles - warm.handles, 2) << "handles grew";
}

TEST(LongRun, UnpinnedTaskDllCostIsReported)
{
    // Few enough that the task's handles stay within what it counts (1,023)
    // and its runtime within the TLS slots.
    const unsigned long cPasses = 300, nEvery = 100;
    DWORD elapsedMs = 0;
    const std::vector<CFigures> figures = RunReloads("unpinned", cPasses, nEvery, false, elapsedMs);
    ASSERT_GE(figures.size(), 3u);
    const CFigures& warm = figures[1];
    const CFigures& last = figures.back();
    const double cReloads = static_cast<double>(cPasses - nEvery);
    // Information, not a limit: the task's runtime, not the launcher, leaves this.
    std::printf("%lu reload passes, task DLL unloaded and loaded each time, in %.1f s: %.0f bytes "
                "and %.2f handles per reload left behind\n",
                cPasses, elapsedMs / 1000.0, (last.privateBytes - warm.privateBytes) / cReloads,
                (last.handles - warm.handles) / cReloads);
}
