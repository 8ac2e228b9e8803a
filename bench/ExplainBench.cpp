// The explained run's price. Reading OSTRELIN_EXPLAIN is all that a start
// without the variable pays: timed in this process with the launcher's own
// function, against the launcher's start-up. Then the launcher itself from
// creation to exit with the variable unset, "1" and a folder, taken in turns.
#include "Bench.h"
#include "BenchConfigs.h"
#include "BenchSupport.h"
#include "Explain.h"

#include <stdexcept>

namespace
{
const char szVariable[] = "OSTRELIN_EXPLAIN";
} // namespace

void RunExplainBench(const CBenchOptions& options, CSummary& summary)
{
    // In this process, the variable unset, as at a normal start.
    ::SetEnvironmentVariableA(szVariable, nullptr);
    const int cCalls = 10000;
    const double readSeconds = MedianSeconds(options.Runs(21, 5),
                                             []
                                             {
                                                 for (int iCall = 0; iCall < cCalls; ++iCall)
                                                     StartExplainedRun();
                                             }) /
                               cCalls;

    // The launcher: three test tasks that return at once.
    const std::string root = options.workFolder + "explain";
    const std::string bin = root + "\\bin\\";
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA(bin.c_str(), nullptr);
    CopyOrThrow(options.binFolder + "Ostrelin.exe", bin + "Ostrelin.exe");
    const std::string task = "    " + TestTaskElement() + "\r\n";
    WriteBytes(bin + "Config.xml", RunConfig(task + task + task));
    // The folder as at logon: it keeps the files of the newest 20 starts.
    const std::string folder = options.workFolder + "explained";
    const char* const values[] = {nullptr, "1", folder.c_str()};
    const char* const names[] = {"variable unset", "OSTRELIN_EXPLAIN=1",
                                 "OSTRELIN_EXPLAIN=<folder>"};
    std::vector<double> seconds[3];
    const int cRounds = options.Runs(41, 7);
    for (int iRound = -1; iRound < cRounds; ++iRound) // round -1 warms
    {
        for (int i = 0; i < 3; ++i)
        {
            const int iValue = (iRound + 3 + i) % 3;
            ::SetEnvironmentVariableA(szVariable, values[iValue]);
            const CProcessRun run = RunProcess("\"" + bin + "Ostrelin.exe\"");
            ::SetEnvironmentVariableA(szVariable, nullptr);
            if (run.exitCode != 0)
                throw std::runtime_error("the launcher ended with " + std::to_string(run.exitCode));
            if (iRound >= 0)
                seconds[iValue].push_back(run.seconds);
        }
    }

    Print("\nThe explained run (median of %d runs each, CreateProcess without a debugger,\n"
          "three test tasks, taken in turns)\n",
          cRounds);
    // Ratios within each round, then their median, as for the start-up.
    double ratios[3];
    for (int i = 0; i < 3; ++i)
    {
        std::vector<double> roundRatios;
        for (size_t iRound = 0; iRound < seconds[i].size(); ++iRound)
            roundRatios.push_back(seconds[i][iRound] / seconds[0][iRound]);
        ratios[i] = Median(roundRatios);
        Print("  %-40s %8.1f ms  (ratio to unset %.3f)\n", names[i], Median(seconds[i]) * 1000,
              ratios[i]);
    }
    const double unset = Median(seconds[0]);
    Print("  %-40s %8.3f us per start, %.5f%% of the start-up unset\n",
          "reading the variable (StartExplainedRun)", readSeconds * 1e6, 100 * readSeconds / unset);
    char szLine[200];
    std::snprintf(szLine, sizeof(szLine),
                  "explained run, reading the variable: %.3f us (%.5f%% of start-up); "
                  "start-up with =1 %.3f, with a folder %.3f of unset",
                  readSeconds * 1e6, 100 * readSeconds / unset, ratios[1], ratios[2]);
    summary.Add(szLine);
}
