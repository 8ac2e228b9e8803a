// The launcher running real task components (OstrelinTestTask.dll) under the
// debugger, each run judged by its exact trace records, the tasks' log lines
// and its exit code.
#include "ConfigScramble.h"
#include "Installation.h"
#include "LauncherTexts.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace
{
using Lines = std::vector<std::string>;

// The system's own text for a code, untrimmed, as the trace shows it.
std::string SystemText(DWORD dwCode)
{
    char* psz = nullptr;
    const DWORD cch = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, dwCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT),
        reinterpret_cast<char*>(&psz), 0, nullptr);
    const std::string text = cch > 0 ? std::string(psz, cch) : "?";
    ::LocalFree(psz);
    return text;
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

// An error end: Thrown at the check point that holds needle, Caught at the
// catch site, the main routine's banners. The compile date stands as [date].
Lines ErrorEnd(const std::string& file, const std::string& needle, const std::string& what)
{
    const std::string caughtAt =
        std::to_string(SourceLine("launcher/LauncherMain.cpp", "TraceCaught("));
    return {file + "(" + std::to_string(SourceLine(file, needle)) + "): Thrown: " + what +
                ": [date]\n",
            "launcher/LauncherMain.cpp(" + caughtAt + "): Caught: " + what + ": [date]\n",
            BannerBeforeCoUninitialize(), BannerBeforeExit()};
}

// The init and run lines of the tasks named, in order; "|" marks the task DLL
// loaded anew, so that its count of runs starts again.
Lines Ran(const std::string& names)
{
    Lines lines;
    std::istringstream words(names);
    int cRuns = 0;
    for (std::string name; words >> name;)
    {
        if (name == "|")
            cRuns = 0;
        else
            lines.insert(lines.end(),
                         {"init " + name, "run " + name + " runs=" + std::to_string(++cRuns)});
    }
    return lines;
}

class TaskRunner : public ::testing::Test
{
protected:
    CInstallation inst{"runner"};
    const std::string strLog = inst.Root() + "\\tasks.log";
    const std::string strNext = inst.Root() + "\\next.xml";

    // <Task CLSID=... Log=... Name=.../> with further attributes.
    std::string Task(const std::string& name, const std::string& attributes = "") const
    {
        return "<Task CLSID=\"" + std::string(szOstrelinTestTaskClsid) + "\" Log=\"" + strLog +
               "\" Name=\"" + name + "\" " + attributes + "/>";
    }
    // A task that replaces Config.xml with next.xml and asks for a reload.
    std::string Reload(const std::string& name) const
    {
        return Task(name, "Instruction='1' CopyFrom='" + strNext + "' CopyTo='" +
                              inst.ConfigPath() + "'");
    }
    static std::string Config(const std::string& tasks)
    {
        return "<?xml version=\"1.0\"?>\n<Config>\n  <Run>\n    " + tasks +
               "\n  </Run>\n</Config>\n";
    }

    // The tasks' log lines without the process id and the values every
    // line has: the register handle present, the instruction continue on entry.
    Lines LogLines() const
    {
        std::ifstream log(strLog);
        Lines lines;
        const std::regex usual(" pid=[0-9]+| register=1| instruction=0|\r");
        for (std::string line; std::getline(log, line);)
            lines.push_back(std::regex_replace(line, usual, ""));
        return lines;
    }
};
} // namespace

TEST_F(TaskRunner, TaskListsInstructionsAndErrorEnds)
{
    const std::string noRun = "LastError: 1168 : \"" + SystemText(ERROR_NOT_FOUND) + "\") Run";
    const std::string noInterface = "HRESULT: 0x80004002 : \"" + SystemText(E_NOINTERFACE) +
                                    "\") pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes )";
    Lines missing = ErrorEnd("core/CoreXML.cpp", "CHECK_HRESULT(hRes);",
                             "HRESULT: 0x80070002 : \"" + SystemText(0x80070002) + "\") hRes");
    missing.insert(missing.begin(), "---->\tCXMLDoc::FromURL() problem " + inst.BinFolder() +
                                        "/../\\bin\\Config.xml\n");
    const struct
    {
        const char* pszCase;
        std::string config; // "-": no file
        Lines log;
        Lines records; // none: a normal end with exit code 0, else exit code 4
        std::string next = "";
        bool fRoot = false;
    } cases[] = {
        {"empty Run", Config(""), {}, {}},
        {"document order, each Init with its own element",
         Config(Task("A") + Task("B") + Task("C")),
         Ran("A B C"),
         {}},
        {"stop skips the rest", Config(Task("A", "Instruction='2'") + Task("B")), Ran("A"), {}},
        {"3 and -1 count as continue; each Run starts from continue",
         Config(Task("A", "Instruction='3'") + Task("B", "Instruction='-1'") + Task("C")),
         Ran("A B C"),
         {}},
        {"successes other than S_OK from Run",
         Config(Task("A", "RunResult='1'") + Task("B", "RunResult='0x7FFFFFFF' Instruction='2'") +
                Task("C")),
         Ran("A B"),
         {}},
        {"Init other than S_OK skips silently",
         Config(Task("A", "InitResult='1'") + Task("B", "InitResult='0x80004005'") + Task("C")),
         {"init A", "init B", "init C", "run C runs=1"},
         {}},
        {"bad, missing and unregistered CLSIDs are skipped",
         Config("<Task CLSID='not a clsid'/><Task/><Task "
                "CLSID='{00000000-0000-0000-0000-00000000ABCD}'/>"
                "<Task CLSID=''/>" +
                Task("C")),
         Ran("C"),
         {}},
        // A empties the variable whose address it gets; B gets the same, empty
        // variable, and the launcher's end closes nothing twice.
        {"a task that closes the register handle",
         Config(Task("A", "CloseRegisterMutex='1'") + Task("B")),
         {"init A", "run A runs=1", "init B register=0", "run B runs=2"},
         {}},
        {"scrambled, found through the root",
         ScrambleConfig(Config(Task("A")), "cONFIG.XML"),
         Ran("A"),
         {},
         "",
         true},
        {"a reload reads the changed file from its first child, the unused task DLL freed",
         Config(Reload("A") + Task("B")),
         Ran("A | C D"),
         {},
         Config(Task("C") + Task("D", "Instruction='2'") + Task("E"))},
        {"a reloaded list that runs nothing ends the run",
         Config(Reload("A")),
         Ran("A"),
         {},
         Config("<Task CLSID='none'/>")},
        {"a failing Run", Config(Task("A", "RunResult='0x8FFF0001'") + Task("B")), Ran("A"),
         ErrorEnd("launcher/TaskRunner.cpp", "CHECK_HRESULT(pifTask->Run( &eInstruction ))",
                  "HRESULT: 0x8FFF0001 : \"?\") pifTask->Run( &eInstruction )")},
        {"a comment among the tasks", Config(Task("A") + "<!-- not a task -->" + Task("B")),
         Ran("A"),
         ErrorEnd("core/include/CoreXML.h",
                  "CHECK_HRESULT(pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes ));",
                  noInterface)},
        {"no Config.xml", "-", {}, missing},
        {"an empty Config.xml",
         "",
         {},
         ErrorEnd("core/CoreXML.cpp", "CHECK_HRESULT(E_FAIL);",
                  "HRESULT: 0x80004005 : \"" + SystemText(E_FAIL) + "\") E_FAIL")},
        // The last error of a missing root is whatever the thread then holds.
        {"malformed",
         "<Config><Run></Config>",
         {},
         ErrorEnd("launcher/TaskRunner.cpp", "CHECK_WIN32(Node);", "LastError: * Node")},
        {"no Run",
         "<Config><Tasks/></Config>",
         {},
         ErrorEnd("launcher/TaskRunner.cpp", "CHECK_WIN32(Run);", noRun)},
    };
    const std::regex date(": \\[[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}\\]\n$");
    const std::regex anyLastError("LastError: [0-9]+ : \"[^\"]*\"\\)");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszCase);
        ::DeleteFileA(strLog.c_str());
        c.config == "-" ? inst.RemoveConfig() : inst.WriteConfig(c.config);
        std::ofstream(strNext, std::ios::binary) << c.next;
        const CSessionResult result = inst.Run(c.fRoot ? inst.RootArgument() : "");
        Lines records;
        for (const std::string& record : result.records)
            records.push_back(std::regex_replace(
                std::regex_replace(record, date, ": [date]\n"), anyLastError,
                c.records.size() == 4 && c.records[0].find("LastError: *") != std::string::npos
                    ? "LastError: *"
                    : "$&"));
        EXPECT_EQ(SessionOutcome::Exited, result.outcome);
        EXPECT_EQ(c.records.empty() ? 0u : 4u, result.exitCode);
        EXPECT_EQ(c.records, records);
        EXPECT_TRUE(result.boxes.empty());
        EXPECT_EQ(c.log, LogLines());
    }
}

TEST_F(TaskRunner, ThousandReloadsLeaveMemoryAndHandlesFlat)
{
    // Pinned, the task's own DLL stays loaded: what is measured is the
    // launcher's passes, not the task runtime's cost of being loaded again.
    inst.WriteConfig(Config(Task("A", "ReloadCount='1000' LogMemory='100' Pin='1'")));
    const CSessionResult result = inst.Run();
    EXPECT_EQ(0u, result.exitCode);
    std::ifstream log(strLog);
    std::vector<std::pair<long long, long long>> figures; // private bytes, handles
    const std::regex memory("private=([0-9]+) handles=([0-9]+)");
    std::smatch match;
    for (std::string line; std::getline(log, line);)
    {
        if (std::regex_search(line, match, memory))
            figures.emplace_back(std::stoll(match[1]), std::stoll(match[2]));
    }
    ASSERT_EQ(11u, figures.size()); // passes 0, 100, ... 1000
    // Warmed up after the first hundred passes; from there on, flat.
    EXPECT_LE(figures.back().first - figures[1].first, 256 * 1024) << "private bytes grew";
    EXPECT_LE(figures.back().second - figures[1].second, 2) << "handles grew";
}
