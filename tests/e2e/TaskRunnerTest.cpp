// The launcher running real task components (OstrelinTestTask.dll), each run
// judged by the launcher's own process: its exact trace records, the tasks'
// log lines and its exit code.
#include "ConfigScramble.h"
#include "CoreTrace.h"
#include "Installation.h"
#include "LauncherTexts.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace
{
const std::string strTaskClsid = szOstrelinTestTaskClsid;
const char szUnknownHResult[] = "0x8FFF0001"; // the system has no text for it

std::string GetSystemText(HRESULT hr)
{
    return GetSystemMessage(static_cast<DWORD>(hr)).GetString();
}

// The line of the source file (relative to the source root) that holds needle.
int SourceLine(const std::string& relativePath, const std::string& needle)
{
    std::ifstream source(OSTRELIN_SOURCE_DIR "/" + relativePath);
    std::string line;
    for (int iLine = 1; std::getline(source, line); ++iLine)
    {
        if (line.find(needle) != std::string::npos)
            return iLine;
    }
    ADD_FAILURE() << needle << " not found in " << relativePath;
    return -1;
}

// A trace line as the launcher writes it; the compile date is the one the
// record carries, once its form has been checked.
std::string TraceLine(const std::string& file, int iLine, const std::string& message,
                      const std::string& actual)
{
    std::smatch date;
    const std::regex datePattern(": \\[([A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4})\\]\n$");
    EXPECT_TRUE(std::regex_search(actual, date, datePattern)) << actual;
    return file + "(" + std::to_string(iLine) + "): " + message + ": [" +
           (date.empty() ? "" : date[1].str()) + "]\n";
}

const int iCaughtLine = SourceLine("launcher/LauncherMain.cpp", "TraceCaught(");

// The records of an error end: Thrown at the check point, Caught at the catch
// site, then the main routine's banners.
void ExpectErrorEnd(const CSessionResult& result, const std::string& file, int iLine,
                    const std::string& what, size_t iFirst = 0)
{
    EXPECT_EQ(4u, result.exitCode);
    ASSERT_EQ(iFirst + 4, result.records.size());
    EXPECT_EQ(TraceLine(file, iLine, "Thrown: " + what, result.records[iFirst]),
              result.records[iFirst]);
    EXPECT_EQ(TraceLine("launcher/LauncherMain.cpp", iCaughtLine, "Caught: " + what,
                        result.records[iFirst + 1]),
              result.records[iFirst + 1]);
    EXPECT_EQ(BannerBeforeCoUninitialize(), result.records[iFirst + 2]);
    EXPECT_EQ(BannerBeforeExit(), result.records[iFirst + 3]);
    EXPECT_TRUE(result.boxes.empty());
}

class TaskRunner : public ::testing::Test
{
protected:
    CInstallation inst{"runner"};
    const std::string strLog = inst.Root() + "\\tasks.log";

    // <Task CLSID=... Log=... Name=.../> with further attributes.
    std::string Task(const std::string& name, const std::string& attributes = "") const
    {
        return "<Task CLSID=\"" + strTaskClsid + "\" Log=\"" + strLog + "\" Name=\"" + name +
               "\" " + attributes + "/>";
    }

    static std::string Config(const std::string& tasks)
    {
        return "<?xml version=\"1.0\"?>\n<Config>\n  <Run>\n    " + tasks +
               "\n  </Run>\n</Config>\n";
    }

    // The tasks' log, "init A", "run A", ... without the process details.
    std::vector<std::string> LogLines() const
    {
        std::ifstream log(strLog);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(log, line))
        {
            std::istringstream words(line);
            std::string verb, name;
            words >> verb >> name;
            lines.push_back(verb + " " + name);
        }
        return lines;
    }

    std::string RawLog() const
    {
        std::ifstream log(strLog);
        return std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    }

    // A normal end: no trace at all, no box, exit code 0.
    static void ExpectNormalEnd(const CSessionResult& result)
    {
        EXPECT_EQ(SessionOutcome::Exited, result.outcome);
        EXPECT_EQ(0u, result.exitCode);
        EXPECT_TRUE(result.records.empty()) << result.records.front();
        EXPECT_TRUE(result.boxes.empty());
    }
};

using Lines = std::vector<std::string>;
} // namespace

TEST_F(TaskRunner, TaskListsAndTheirInstructions)
{
    const struct
    {
        const char* pszCase;
        std::string tasks;
        Lines expected;
    } cases[] = {
        {"empty Run", "", {}},
        {"document order, each Init with its own element",
         Task("A") + Task("B") + Task("C"),
         {"init A", "run A", "init B", "run B", "init C", "run C"}},
        {"stop skips the rest", Task("A", "Instruction='2'") + Task("B"), {"init A", "run A"}},
        {"3 and -1 count as continue",
         Task("A", "Instruction='3'") + Task("B", "Instruction='-1'") + Task("C"),
         {"init A", "run A", "init B", "run B", "init C", "run C"}},
        {"S_FALSE from Run is success",
         Task("A", "RunResult='1' Instruction='2'") + Task("B"),
         {"init A", "run A"}},
        {"Init other than S_OK skips silently",
         Task("A", "InitResult='1'") + Task("B", "InitResult='0x80004005'") + Task("C"),
         {"init A", "init B", "init C", "run C"}},
        {"bad, missing and unregistered CLSIDs are skipped",
         "<Task CLSID='not a clsid'/><Task/><Task CLSID='{00000000-0000-0000-0000-00000000ABCD}'/>"
         "<Task CLSID=''/>" +
             Task("C"),
         {"init C", "run C"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszCase);
        ::DeleteFileA(strLog.c_str());
        inst.WriteConfig(Config(c.tasks));
        ExpectNormalEnd(inst.Run());
        EXPECT_EQ(c.expected, LogLines());
    }
}

TEST_F(TaskRunner, ScrambledConfigurationFoundWithAndWithoutRoot)
{
    inst.WriteConfig(ScrambleConfig(Config(Task("A")), "cONFIG.XML"));
    ExpectNormalEnd(inst.Run());
    ExpectNormalEnd(inst.Run(inst.RootArgument()));
    EXPECT_EQ(Lines({"init A", "run A", "init A", "run A"}), LogLines());
}

TEST_F(TaskRunner, ReloadReadsTheChangedFileAndStartsAtItsFirstChild)
{
    const std::string strNext = inst.Root() + "\\next.xml";
    std::ofstream(strNext) << Config(Task("C") + Task("D", "Instruction='2'") + Task("E"));
    inst.WriteConfig(Config(
        Task("A", "Instruction='1' CopyFrom='" + strNext + "' CopyTo='" + inst.ConfigPath() + "'") +
        Task("B")));
    ExpectNormalEnd(inst.Run());
    EXPECT_EQ(Lines({"init A", "run A", "init C", "run C", "init D", "run D"}), LogLines());
}

TEST_F(TaskRunner, ReloadOfAListThatRunsNothingEndsTheRun)
{
    const std::string strNext = inst.Root() + "\\next.xml";
    std::ofstream(strNext) << Config("<Task CLSID='none'/>");
    inst.WriteConfig(Config(Task("A", "Instruction='1' CopyFrom='" + strNext + "' CopyTo='" +
                                          inst.ConfigPath() + "'")));
    ExpectNormalEnd(inst.Run());
    EXPECT_EQ(Lines({"init A", "run A"}), LogLines());
}

TEST_F(TaskRunner, TaskThatClosesTheRegisterHandle)
{
    // A empties the variable whose address it gets; B gets the same, empty
    // variable, and the launcher's end closes nothing twice.
    inst.WriteConfig(Config(Task("A", "CloseRegisterMutex='1'") + Task("B")));
    ExpectNormalEnd(inst.Run());
    const std::regex initLine("^init ([AB]) pid=[0-9]+ register=([01])\r?$");
    std::vector<std::string> seen;
    std::istringstream log(RawLog());
    std::string line;
    while (std::getline(log, line))
    {
        std::smatch match;
        if (std::regex_match(line, match, initLine))
            seen.push_back(match[1].str() + match[2].str());
    }
    EXPECT_EQ(Lines({"A1", "B0"}), seen);
}

TEST_F(TaskRunner, FailingRunEndsTheRunThroughTheErrorPath)
{
    inst.WriteConfig(
        Config(Task("A", std::string("RunResult='") + szUnknownHResult + "'") + Task("B")));
    const CSessionResult result = inst.Run();
    ExpectErrorEnd(
        result, "launcher/TaskRunner.cpp",
        SourceLine("launcher/TaskRunner.cpp", "CHECK_HRESULT(pifTask->Run( &eInstruction ))"),
        "HRESULT: 0x8FFF0001 : \"?\") pifTask->Run( &eInstruction )");
    EXPECT_EQ(Lines({"init A", "run A"}), LogLines());
}

TEST_F(TaskRunner, CommentAmongTheTasksEndsTheRunThere)
{
    inst.WriteConfig(Config(Task("A") + "<!-- not a task -->" + Task("B")));
    const CSessionResult result = inst.Run();
    const std::string noInterface = "HRESULT: 0x80004002 : \"" + GetSystemText(E_NOINTERFACE) +
                                    "\") pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes )";
    ExpectErrorEnd(
        result, "core/include/CoreXML.h",
        SourceLine("core/include/CoreXML.h",
                   "CHECK_HRESULT(pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes ));"),
        noInterface);
    EXPECT_EQ(Lines({"init A", "run A"}), LogLines());
}

TEST_F(TaskRunner, UnusableConfigurationsEndWithTheirThrownAndCaughtPair)
{
    const std::string strFromUrl = "core/CoreXML.cpp";
    const std::string strRunner = "launcher/TaskRunner.cpp";

    // Missing: the open problem, then the open status.
    inst.RemoveConfig();
    CSessionResult result = inst.Run();
    ASSERT_FALSE(result.records.empty());
    EXPECT_EQ("---->\tCXMLDoc::FromURL() problem " + inst.BinFolder() + "/../\\bin\\Config.xml\n",
              result.records[0]);
    ExpectErrorEnd(result, strFromUrl, SourceLine(strFromUrl, "CHECK_HRESULT(hRes);"),
                   "HRESULT: 0x80070002 : \"" +
                       GetSystemText(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) + "\") hRes",
                   1);

    // Empty.
    inst.WriteConfig("");
    ExpectErrorEnd(inst.Run(), strFromUrl, SourceLine(strFromUrl, "CHECK_HRESULT(E_FAIL);"),
                   "HRESULT: 0x80004005 : \"" + GetSystemText(E_FAIL) + "\") E_FAIL");

    // Without "Run": the runner's own check point.
    const struct
    {
        const char* pszConfig;
        const char* pszCheck;
        const char* pszExpression;
    } cases[] = {
        {"<Config><Tasks/></Config>", "CHECK_WIN32(Run);", "Run"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszConfig);
        inst.WriteConfig(c.pszConfig);
        result = inst.Run();
        ASSERT_FALSE(result.records.empty());
        // The last error a failed check reports is whatever the thread then
        // holds; only its form is fixed.
        const std::regex thrown("^" + strRunner + "\\(" +
                                std::to_string(SourceLine(strRunner, c.pszCheck)) +
                                "\\): Thrown: LastError: [0-9]+ : \"[^\"]*\"\\) " +
                                c.pszExpression + ": \\[[^\\]]+\\]\n$");
        EXPECT_TRUE(std::regex_match(result.records[0], thrown)) << result.records[0];
        EXPECT_EQ(4u, result.exitCode);
        EXPECT_EQ(4u, result.records.size());
    }
}

TEST_F(TaskRunner, ThousandReloadsLeaveMemoryAndHandlesFlat)
{
    // Pinned, the task's own DLL stays loaded: what is measured is the
    // launcher's passes, not the task runtime's cost of being loaded again.
    inst.WriteConfig(Config(Task("A", "ReloadCount='1000' LogMemory='100' Pin='1'")));
    ExpectNormalEnd(inst.Run());

    std::ifstream log(strLog);
    std::vector<std::pair<long long, long long>> figures; // private bytes, handles
    std::string line;
    while (std::getline(log, line))
    {
        std::smatch match;
        if (std::regex_search(line, match, std::regex("private=([0-9]+) handles=([0-9]+)")))
            figures.emplace_back(std::stoll(match[1]), std::stoll(match[2]));
    }
    ASSERT_EQ(11u, figures.size()); // passes 0, 100, ... 1000
    for (size_t i = 0; i < figures.size(); ++i)
    {
        std::printf("after %4zu reloads: private %lld bytes, handles %lld\n", i * 100,
                    figures[i].first, figures[i].second);
    }
    // Warmed up after the first hundred passes; from there on, flat.
    const auto& warm = figures[1];
    const auto& last = figures.back();
    EXPECT_LE(last.first - warm.first, 256 * 1024) << "private bytes grew";
    EXPECT_LE(last.second - warm.second, 2) << "handles grew";
}
