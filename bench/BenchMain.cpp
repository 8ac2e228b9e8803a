// ostrelin-bench: measured figures of the launcher, printed; nothing is
// asserted. Run it through scripts/run-bench, which registers the tasks in
// the build's Wine prefix first.
//
//   ostrelin-bench [--quick] [size] [startup] [explain] [tasks] [scale] [load]
//
// Without section names every section runs, in that order.
#include "Bench.h"
#include "BenchSupport.h"

#include "ComApartment.h"
#include "CoreXML.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <map>

std::string RatioAgainstTarget(double ratio, double target)
{
    char sz[80];
    std::snprintf(sz, sizeof(sz), "%.3f (target <= %.2f: %s)", ratio, target,
                  ratio <= target ? "met" : "missed");
    return sz;
}

int main(int argc, char** argv)
{
    CBenchOptions options;
    const std::map<std::string, void (*)(const CBenchOptions&, CSummary&)> sections = {
        {"size", RunSizeBench},        {"startup", RunStartupBench}, {"tasks", RunTaskCostBench},
        {"scale", RunTaskScaleBench},  {"load", RunLoadBench},       {"explain", RunExplainBench},
        {"large", RunLargeStartBench},
    };
    // "large" takes minutes under Wine: run by name only.
    const char* const order[] = {"size", "startup", "explain", "tasks", "scale", "load"};
    std::vector<std::string> chosen;
    for (int iArg = 1; iArg < argc; ++iArg)
    {
        if (std::strcmp(argv[iArg], "--quick") == 0)
            options.fQuick = true;
        else if (sections.count(argv[iArg]))
            chosen.push_back(argv[iArg]);
        else
        {
            std::fprintf(stderr, "usage: ostrelin-bench [--quick] [size] [startup] [explain] "
                                 "[tasks] [scale] [load] [large]\n");
            return 2;
        }
    }
    if (chosen.empty())
        chosen.assign(std::begin(order), std::end(order));

    // The launcher's own apartment: tasks and the DOM are called as it calls them.
    const CComApartment apartment;
    int nResult = 0;
    const LONGLONG nStart = ReadCounter();
    CSummary summary;
    try
    {
        const CScratchFolder work("ostrelin-bench-");
        options.workFolder = work.Path() + "\\";
        options.binFolder = GetBinFolder();
        Print("ostrelin-bench%s: medians of repeated runs; figures, not pass or fail\n",
              options.fQuick ? " --quick" : "");
        for (const std::string& name : chosen)
            sections.at(name)(options, summary);
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "ostrelin-bench: %s\n", error.what());
        nResult = 1;
    }
    catch (const CCoreError&)
    {
        std::fprintf(stderr, "ostrelin-bench: a core error (see the debugger output)\n");
        nResult = 1;
    }

    Print("\nSummary\n");
    for (const std::string& line : summary.Lines())
        Print("  %s\n", line.c_str());
    Print("  %-36s %.0f s\n", "whole benchmark run:", SecondsSince(nStart));
    return nResult;
}
