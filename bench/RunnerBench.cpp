// The task runner in this process: RunTasks over generated configurations,
// with a normal end that returns here instead of ending the process.
#include "Bench.h"
#include "BenchConfigs.h"
#include "BenchSupport.h"

#include "CoreXML.h"
#include "ExplainedRun.h"
#include "ITask.h"
#include "TaskRunner.h"
#include "TestTaskClsid.h"

#include <stdexcept>

namespace
{
// One whole run of the configuration at path, in seconds.
double TimeRunTasks(const std::string& path)
{
    const CWideText strPath = WidePath(path);
    HANDLE hRegisterMutex = nullptr;
    const LONGLONG nStart = ReadCounter();
    try
    {
        CExplainedRun quiet; // not explaining: silent
        RunTasks(strPath, &hRegisterMutex, quiet);
    }
    catch (const CCoreError&)
    {
        throw std::runtime_error("the run of " + path + " ended in an error");
    }
    return SecondsSince(nStart);
}

double TimeLoad(const std::string& path)
{
    const LONGLONG nStart = ReadCounter();
    const CXMLDoc doc = CXMLDoc::FromURL(WidePath(path));
    const double seconds = SecondsSince(nStart);
    if (!doc.GetDocumentElement())
        throw std::runtime_error(path + " did not parse");
    return seconds;
}

// cCalls of CoCreateInstance and Release of the test task, in seconds.
double TimeCreation(long cCalls)
{
    const LONGLONG nStart = ReadCounter();
    for (long iCall = 0; iCall < cCalls; ++iCall)
    {
        CInterfacePtr<ITask> pifTask;
        if (::CoCreateInstance(CLSID_OstrelinTestTask, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                               pifTask.AcceptHereAsVoid()) != S_OK)
            throw std::runtime_error("the test task is not registered in this prefix");
    }
    return SecondsSince(nStart);
}

// Creation, Init and Run of every task of the configuration at path, called
// here directly, in seconds; the document is loaded beforehand.
double TimeDirectCalls(const std::string& path)
{
    const CXMLDoc doc = CXMLDoc::FromURL(WidePath(path));
    const CXMLNodeList tasks = doc.GetDocumentElement().SelectSingleElement("Run").GetChildNodes();
    std::vector<CXMLElement> elements;
    for (long iTask = 0; iTask < tasks.GetLength(); ++iTask)
        elements.push_back(tasks.GetItem(iTask));

    HANDLE hRegister = nullptr;
    const LONGLONG nStart = ReadCounter();
    for (const CXMLElement& element : elements)
    {
        CInterfacePtr<ITask> pifTask;
        ::CoCreateInstance(CLSID_OstrelinTestTask, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                           pifTask.AcceptHereAsVoid());
        TaskInstruction eInstruction = InstructionContinue;
        if (pifTask->Init(element.pif(), &hRegister) == S_OK)
            pifTask->Run(&eInstruction);
    }
    return SecondsSince(nStart);
}

// Seconds per GetItem call at the list's first and at its last child.
std::pair<double, double> TimeGetItemAtTheEnds(const std::string& path)
{
    const CXMLDoc doc = CXMLDoc::FromURL(WidePath(path));
    const CXMLNodeList tasks = doc.GetDocumentElement().SelectSingleElement("Run").GetChildNodes();
    const long iLast = tasks.GetLength() - 1;
    const int cCalls = 100;
    const auto Time = [&](long iChild)
    {
        const LONGLONG nStart = ReadCounter();
        for (int iCall = 0; iCall < cCalls; ++iCall)
            tasks.GetItem(iChild);
        return SecondsSince(nStart) / cCalls;
    };
    return {Time(0), Time(iLast)};
}

double Us(double seconds)
{
    return seconds * 1e6;
}
} // namespace

void RunTaskCostBench(const CBenchOptions& options, CSummary& summary)
{
    const long cTasks = 1000;
    const std::string emptyPath = options.workFolder + "tasks-0.xml";
    const std::string listPath = options.workFolder + "tasks-1000.xml";
    WriteBytes(emptyPath, TaskListConfig(0));
    WriteBytes(listPath, TaskListConfig(cTasks));

    // Warm: the DLL loaded, the file in the cache. The runner frees no library
    // within a pass, so the task DLL stays loaded for all measures below.
    TimeRunTasks(listPath);
    const int cRuns = options.Runs(21, 5);
    // Differences are taken within each round and their median reported, so
    // that a slow stretch of the machine falls on both sides of a difference.
    std::vector<double> emptyRuns, listRuns, creations, directs, perTasks, beyonds, owns;
    for (int iRun = 0; iRun < cRuns; ++iRun)
    {
        emptyRuns.push_back(TimeRunTasks(emptyPath));
        listRuns.push_back(TimeRunTasks(listPath));
        creations.push_back(TimeCreation(cTasks) / cTasks);
        directs.push_back(TimeDirectCalls(listPath) / cTasks);
        perTasks.push_back((listRuns.back() - emptyRuns.back()) / cTasks);
        beyonds.push_back(perTasks.back() - creations.back());
        owns.push_back(perTasks.back() - directs.back());
    }
    const double empty = Median(emptyRuns), list = Median(listRuns);
    const double creation = Median(creations), direct = Median(directs);
    const double perTask = Median(perTasks), beyond = Median(beyonds), own = Median(owns);

    Print("\nPer-task cost: %ld test tasks that return at once, one configuration, in this "
          "process (median of %d runs)\n",
          cTasks, cRuns);
    Print("  %-48s %9.2f ms\n", "RunTasks, 1,000 tasks (total)", list * 1000);
    Print("  %-48s %9.2f ms\n", "RunTasks, empty Run", empty * 1000);
    Print("  %-48s %9.1f us\n", "per task", Us(perTask));
    Print("  %-48s %9.1f us\n", "  CoCreateInstance + Release", Us(creation));
    Print("  %-48s %9.1f us\n", "  beyond CoCreateInstance", Us(beyond));
    Print("  %-48s %9.1f us\n", "    the test task's own Init and Run", Us(direct - creation));
    Print("  %-48s %9.1f us\n", "    the runner's own (list, CLSID, element)", Us(own));
    char szLine[200];
    std::snprintf(szLine, sizeof(szLine),
                  "per task (1,000 in one run):         %.1f us, %.1f us beyond CoCreateInstance; "
                  "total %.1f ms",
                  Us(perTask), Us(beyond), list * 1000);
    summary.Add(szLine);
}

void RunTaskScaleBench(const CBenchOptions& options, CSummary& summary)
{
    Print("\nScale: configurations of 10, 1,000 and 100,000 tasks, in this process (medians;\n"
          "100,000 tasks: one run)\n");
    Print("  %8s %10s %7s %12s %12s %12s %12s\n", "tasks", "file", "runs", "load", "run total",
          "per task", "load per MB");
    const struct
    {
        long cTasks;
        int cRuns, cQuickRuns;
    } scales[] = {{10, 21, 5}, {1000, 11, 3}, {100000, 1, 1}}; // the largest takes minutes
    double perTask[3] = {};
    std::vector<std::pair<double, double>> itemTimes;
    int iScale = 0;
    for (const auto& scale : scales)
    {
        const std::string path =
            options.workFolder + "scale-" + std::to_string(scale.cTasks) + ".xml";
        WriteBytes(path, TaskListConfig(scale.cTasks));
        const double cbFile = static_cast<double>(FileSize(path));
        if (scale.cTasks < 100000)
            TimeRunTasks(path); // warm; the largest is warm from the others
        itemTimes.push_back(TimeGetItemAtTheEnds(path));
        std::vector<double> loads, runs;
        const int cRuns = options.Runs(scale.cRuns, scale.cQuickRuns);
        for (int iRun = 0; iRun < cRuns; ++iRun)
        {
            loads.push_back(TimeLoad(path));
            runs.push_back(TimeRunTasks(path));
        }
        const double load = Median(loads), run = Median(runs);
        perTask[iScale++] = run / scale.cTasks;
        Print("  %8ld %8.0f KB %7d %9.2f ms %9.2f ms %9.1f us %9.1f ms\n", scale.cTasks,
              cbFile / 1024, cRuns, load * 1000, run * 1000, Us(run / scale.cTasks),
              load * 1000 / (cbFile / (1024 * 1024)));
        ::DeleteFileA(path.c_str());
    }
    Print("\n  GetItem on the task list, at its first and at its last child (per call)\n");
    for (size_t i = 0; i < itemTimes.size(); ++i)
        Print("  %8ld %12.2f us %12.2f us\n", scales[i].cTasks, Us(itemTimes[i].first),
              Us(itemTimes[i].second));
    char szLine[200];
    std::snprintf(szLine, sizeof(szLine),
                  "per task at 10 / 1,000 / 100,000:    %.1f / %.1f / %.1f us", Us(perTask[0]),
                  Us(perTask[1]), Us(perTask[2]));
    summary.Add(szLine);
}
