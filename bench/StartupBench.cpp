// Start-up against the floor program, and the peak working set of a run like
// the demo's against the floor's, all started the same way: CreateProcess
// without a debugger, from the same kind of folder, taken in turns.
#include "Bench.h"
#include "BenchConfigs.h"
#include "BenchSupport.h"
#include "TestTaskClsid.h"

#include <algorithm>
#include <cstring>
#include <regex>
#include <stdexcept>

namespace
{
const char szLauncher[] = "Ostrelin.exe";
const char szFloor[] = "ostrelin-bench-floor.exe";
const char szManifestFloor[] = "ostrelin-bench-floor-manifest.exe";
const char szSteps[] = "ostrelin-bench-steps.exe";

// <work>\<name>\bin with the launcher and the floor program, and its Config.xml.
struct CInstall
{
    std::string bin;

    CInstall(const CBenchOptions& options, const std::string& name, const std::string& config)
    {
        const std::string root = options.workFolder + name;
        bin = root + "\\bin\\";
        ::CreateDirectoryA(root.c_str(), nullptr);
        ::CreateDirectoryA(bin.c_str(), nullptr);
        ::CreateDirectoryA((root + "\\update").c_str(), nullptr);
        CopyOrThrow(options.binFolder + szLauncher, bin + szLauncher);
        CopyOrThrow(options.binFolder + szFloor, bin + szFloor);
        CopyOrThrow(options.binFolder + szManifestFloor, bin + szManifestFloor);
        CopyOrThrow(options.binFolder + szSteps, bin + szSteps);
        WriteBytes(bin + "Config.xml", config);
    }
    std::string Launcher() const { return "\"" + bin + szLauncher + "\""; }
    std::string Floor(const std::string& log = std::string(), bool fManifest = false) const
    {
        return "\"" + bin + (fManifest ? szManifestFloor : szFloor) + "\"" +
               (log.empty() ? "" : " \"" + log + "\"");
    }
    std::string Steps(const std::string& log) const
    {
        return "\"" + bin + szSteps + "\" \"" + log + "\" \"" + bin + "..\"";
    }
};

// The marks of ostrelin-bench-steps: the launcher's way from process start to
// the first task's Init, taken with its own functions, step by step.
const char* const steps[] = {"entry",  "com",   "guard",  "document", "load",
                             "select", "clsid", "create", "init"};
const char* const stepTexts[] = {
    "process start to WinMain",
    "CoInitialize",
    "instance guard and paths",
    "first MSXML document (msxml3 loaded)",
    "FromURL: a new document, read, parse",
    "document element, \"Run\", child list",
    "first child's CLSID, CLSIDFromString",
    "CoCreateInstance (task DLL loaded)",
    "the task's Init, to its first statement",
};
const size_t cSteps = std::size(steps);

// Seconds from creation to each mark of the steps log, which is then deleted.
std::vector<double> TakeStepMarks(const std::string& log, LONGLONG nCreated)
{
    const std::string text = ReadBytes(log);
    ::DeleteFileA(log.c_str());
    std::vector<double> marks;
    for (const char* pszStep : steps)
    {
        std::smatch match;
        if (!std::regex_search(text, match,
                               std::regex(std::string("(^|\n)") + pszStep + " qpc=([0-9]+)")))
            throw std::runtime_error(std::string("no step ") + pszStep + ": " + text);
        marks.push_back(CounterSeconds(std::stoll(match[2]) - nCreated));
    }
    return marks;
}

// The first value of field (qpc or peak) in the log, which is then deleted.
LONGLONG TakeLogField(const std::string& log, const char* pszField)
{
    const std::string text = ReadBytes(log);
    ::DeleteFileA(log.c_str());
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(std::string(" ") + pszField + "=([0-9]+)")))
        throw std::runtime_error(std::string("no ") + pszField + " in the log: " + text);
    return std::stoll(match[1]);
}

double Ms(double seconds)
{
    return seconds * 1000;
}

double MB(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}
} // namespace

void RunStartupBench(const CBenchOptions& options, CSummary& summary)
{
    const std::string log = options.workFolder + "startup.log";
    const CInstall initInstall(
        options, "first-init",
        RunConfig("    " + TestTaskElement("Name=\"First\" Timestamp=\"1\" Log=\"" + log + "\"") +
                  "\r\n"));
    const CInstall emptyInstall(options, "empty-run", RunConfig(""));
    const std::string stepsLog = options.workFolder + "steps.log";
    std::vector<double> stepMarks[cSteps];

    // Each measure gives seconds; they are taken in turns, the order rotating
    // from round to round, so that a drift of the machine hits all alike.
    struct CMeasure
    {
        const char* pszName;
        std::function<double()> run;
        std::vector<double> seconds;
    };
    CMeasure measures[] = {
        {"launcher: creation to first Init",
         [&]
         {
             const CProcessRun run = RunProcess(initInstall.Launcher());
             return CounterSeconds(TakeLogField(log, "qpc") - run.nCreated);
         },
         {}},
        {"floor: creation to document created",
         [&]
         {
             const CProcessRun run = RunProcess(emptyInstall.Floor(log));
             return CounterSeconds(TakeLogField(log, "qpc") - run.nCreated);
         },
         {}},
        {"launcher, empty Run: creation to exit",
         [&]
         {
             const CProcessRun run = RunProcess(emptyInstall.Launcher());
             if (run.exitCode != 0)
                 throw std::runtime_error("the launcher ended with " +
                                          std::to_string(run.exitCode));
             return run.seconds;
         },
         {}},
        {"floor: creation to exit", [&] { return RunProcess(emptyInstall.Floor()).seconds; }, {}},
        {"floor with the launcher's manifest: to document",
         [&]
         {
             const CProcessRun run = RunProcess(emptyInstall.Floor(log, true));
             return CounterSeconds(TakeLogField(log, "qpc") - run.nCreated);
         },
         {}},
        {"floor with the launcher's manifest: to exit",
         [&] { return RunProcess(emptyInstall.Floor(std::string(), true)).seconds; },
         {}},
        {"steps program: creation to first Init",
         [&]
         {
             const CProcessRun run = RunProcess(initInstall.Steps(stepsLog));
             ::DeleteFileA(log.c_str()); // the task's own line
             const std::vector<double> marks = TakeStepMarks(stepsLog, run.nCreated);
             for (size_t iStep = 0; iStep < cSteps; ++iStep)
                 stepMarks[iStep].push_back(marks[iStep]);
             return marks.back();
         },
         {}},
    };
    const int cMeasures = static_cast<int>(std::size(measures));

    for (CMeasure& measure : measures)
        measure.run(); // warm: files in the cache, DLLs mapped once
    for (std::vector<double>& marks : stepMarks)
        marks.clear();
    const int cRounds = options.Runs(41, 7);
    for (int iRound = 0; iRound < cRounds; ++iRound)
    {
        for (int i = 0; i < cMeasures; ++i)
        {
            CMeasure& measure = measures[(iRound + i) % cMeasures];
            measure.seconds.push_back(measure.run());
        }
    }

    Print("\nStart-up (median of %d runs each, CreateProcess without a debugger; the middle\n"
          "half of the runs in brackets; ratios: the median of the ratios within each round)\n",
          cRounds);
    double medians[std::size(measures)];
    for (int i = 0; i < cMeasures; ++i)
    {
        medians[i] = Median(measures[i].seconds);
        std::vector<double> sorted = measures[i].seconds;
        std::sort(sorted.begin(), sorted.end());
        Print("  %-50s %6.1f ms  (%.1f to %.1f)\n", measures[i].pszName, Ms(medians[i]),
              Ms(sorted[sorted.size() / 4]), Ms(sorted[sorted.size() * 3 / 4]));
    }
    // Ratios within each round, then their median: a slow stretch of the
    // machine falls on both sides of a ratio.
    const auto RoundRatio = [&](int iOver, int iUnder)
    {
        std::vector<double> ratios;
        for (size_t iRound = 0; iRound < measures[iOver].seconds.size(); ++iRound)
            ratios.push_back(measures[iOver].seconds[iRound] / measures[iUnder].seconds[iRound]);
        return Median(ratios);
    };
    const double ratioInit = RoundRatio(0, 1);
    const double ratioExit = RoundRatio(2, 3);
    const double ratioInitManifest = RoundRatio(0, 4);
    const double ratioExitManifest = RoundRatio(2, 5);
    Print("  %-44s %s\n", "ratio to first Init / floor to document",
          RatioAgainstTarget(ratioInit, 1.10).c_str());
    Print("  %-44s %s\n", "ratio empty Run / floor, to exit",
          RatioAgainstTarget(ratioExit, 1.10).c_str());
    Print("  %-44s %.3f and %.3f\n", "the same against the floor with the manifest",
          ratioInitManifest, ratioExitManifest);
    Print("\n  Where the launcher's time to its first Init goes: its own functions, step by\n"
          "  step, in ostrelin-bench-steps (medians from creation, taken in the same turns)\n");
    double previous = 0;
    for (size_t iStep = 0; iStep < cSteps; ++iStep)
    {
        const double mark = Median(stepMarks[iStep]);
        Print("    %-42s %8.1f ms  (+%5.1f)\n", stepTexts[iStep], Ms(mark), Ms(mark - previous));
        previous = mark;
    }
    // The steps of the launcher's own code, without the platform's share that
    // the floor also pays (process, COM, msxml3) and without the task DLL.
    const auto Step = [&](const char* pszStep)
    {
        const size_t iStep =
            std::find_if(std::begin(steps), std::end(steps),
                         [&](const char* psz) { return std::strcmp(psz, pszStep) == 0; }) -
            std::begin(steps);
        return Median(stepMarks[iStep]);
    };
    const double own = (Step("guard") - Step("com")) + (Step("clsid") - Step("document"));
    const double taskLoad = Step("create") - Step("clsid");
    Print("    %-42s %8.1f ms  (%.1f%% of the floor's time to its document)\n",
          "the launcher's own steps (guard to CLSID)", Ms(own), 100 * own / medians[1]);
    Print("    %-42s %8.1f ms  (%.1f%%)\n", "the first task's creation", Ms(taskLoad),
          100 * taskLoad / medians[1]);
    const double manifest = medians[4] - medians[1];
    Print("    %-42s %8.1f ms  (%.1f%%; floor with it less floor)\n",
          "the manifest (common controls 6)", Ms(manifest), 100 * manifest / medians[1]);
    char szLine[200];
    std::snprintf(szLine, sizeof(szLine),
                  "start-up to first Init vs floor:     %s; with the manifest in the floor too: "
                  "%.3f",
                  RatioAgainstTarget(ratioInit, 1.10).c_str(), ratioInitManifest);
    summary.Add(szLine);
    std::snprintf(szLine, sizeof(szLine),
                  "start-up to exit, empty Run:         %s; with the manifest in the floor too: "
                  "%.3f",
                  RatioAgainstTarget(ratioExit, 1.10).c_str(), ratioExitManifest);
    summary.Add(szLine);

    // Peak working set, as each process reads its own: Wine answers 0 for
    // another process's memory.
    const CInstall demoInstall(options, "demo-like", DemoLikeConfig(log));
    std::vector<double> launcherPeaks, floorPeaks;
    const int cMemoryRuns = options.Runs(5, 3);
    for (int iRun = 0; iRun < cMemoryRuns; ++iRun)
    {
        RunProcess(demoInstall.Launcher());
        launcherPeaks.push_back(static_cast<double>(TakeLogField(log, "peak")));
        RunProcess(demoInstall.Floor(log));
        floorPeaks.push_back(static_cast<double>(TakeLogField(log, "peak")));
    }
    const double launcherPeak = Median(launcherPeaks);
    const double floorPeak = Median(floorPeaks);
    Print("\nPeak working set (median of %d runs, as each process reads its own)\n", cMemoryRuns);
    Print("  %-40s %8.2f MB\n", "launcher, demo-like run (4 tasks)", MB(launcherPeak));
    Print("  %-40s %8.2f MB\n", "floor program", MB(floorPeak));
    Print("  %-40s %8.2f MB (ratio %.2f)\n", "launcher above the floor",
          MB(launcherPeak - floorPeak), launcherPeak / floorPeak);
    std::snprintf(szLine, sizeof(szLine),
                  "peak working set, demo-like run:     %.2f MB, floor %.2f MB (ratio %.2f)",
                  MB(launcherPeak), MB(floorPeak), launcherPeak / floorPeak);
    summary.Add(szLine);

    // The demo's tasks through an installation's task manifest against the
    // same tasks registered: the activation context on every pass.
    const CInstall manifestInstall(options, "demo-manifest", DemoLikeConfig(log));
    const std::pair<const char*, const char*> tasks[] = {
        {"CheckFiles.dll", "{791C17A1-53EF-4991-9737-093AEC4A9792}"},
        {"ApplyStagedConfig.dll", "{D3F6EF44-2AD0-48D5-9F66-ECCF3BCAD858}"},
        {"StartProgram.dll", "{80E8DBC2-87FA-4389-80BF-632FE5E394A2}"},
        {"OstrelinTestTask.dll", szOstrelinTestTaskClsid}};
    std::string manifestText = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                               "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" "
                               "manifestVersion=\"1.0\">\r\n  <assemblyIdentity type=\"win32\" "
                               "name=\"Ostrelin.Tasks\" version=\"1.0.0.0\"/>\r\n";
    for (const auto& task : tasks)
    {
        CopyOrThrow(options.binFolder + task.first, manifestInstall.bin + task.first);
        manifestText += std::string("  <file name=\"") + task.first + "\"><comClass clsid=\"" +
                        task.second + "\" threadingModel=\"Apartment\"/></file>\r\n";
    }
    WriteBytes(manifestInstall.bin + "Tasks.manifest", manifestText + "</assembly>\r\n");
    std::vector<double> registered, listed, manifestRatios;
    const int cManifestRounds = options.Runs(21, 5);
    for (int iRound = 0; iRound < cManifestRounds; ++iRound)
    {
        // In turns, the order alternating, as the start-up measures above.
        const bool fListedFirst = iRound % 2 != 0;
        const double first =
            RunProcess((fListedFirst ? manifestInstall : demoInstall).Launcher()).seconds;
        const double second =
            RunProcess((fListedFirst ? demoInstall : manifestInstall).Launcher()).seconds;
        registered.push_back(fListedFirst ? second : first);
        listed.push_back(fListedFirst ? first : second);
        manifestRatios.push_back(listed.back() / registered.back());
        ::DeleteFileA(log.c_str());
    }
    const double manifestRatio = Median(manifestRatios);
    Print("\nThe demo's tasks, creation to exit (median of %d runs each)\n", cManifestRounds);
    Print("  %-40s %6.1f ms\n", "registered (the registry)", Ms(Median(registered)));
    Print("  %-40s %6.1f ms\n", "listed in the installation's manifest", Ms(Median(listed)));
    Print("  %-40s %s\n", "ratio manifest / registered",
          RatioAgainstTarget(manifestRatio, 1.05).c_str());
    std::snprintf(szLine, sizeof(szLine),
                  "demo's tasks, manifest / registry:  %.1f ms / %.1f ms, %s", Ms(Median(listed)),
                  Ms(Median(registered)), RatioAgainstTarget(manifestRatio, 1.05).c_str());
    summary.Add(szLine);
}

void RunSizeBench(const CBenchOptions& options, CSummary& summary)
{
    Print("\nSize (release build: static runtime, stripped at link)\n");
    char szLine[160];
    for (const char* pszProgram : {szLauncher, szFloor})
    {
        const std::string path = options.binFolder + pszProgram;
        const unsigned long long cb = FileSize(path);
        // A stripped image has no COFF symbol table.
        const std::string bytes = ReadBytes(path);
        bool fStripped = false;
        if (bytes.size() > 0x40)
        {
            const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
            if (static_cast<size_t>(pDos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32) <= bytes.size())
            {
                const auto* pNt =
                    reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + pDos->e_lfanew);
                fStripped = pNt->FileHeader.PointerToSymbolTable == 0 &&
                            pNt->FileHeader.NumberOfSymbols == 0;
            }
        }
        Print("  %-40s %8llu bytes (%.1f KiB)%s\n", pszProgram, cb, cb / 1024.0,
              fStripped ? ", stripped" : ", NOT stripped");
        if (pszProgram == szLauncher)
        {
            std::snprintf(szLine, sizeof(szLine), "launcher size:                       %.1f KiB%s",
                          cb / 1024.0, fStripped ? " (stripped)" : " (NOT stripped)");
            summary.Add(szLine);
        }
    }
}
