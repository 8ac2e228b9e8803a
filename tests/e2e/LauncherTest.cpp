// The launcher under the debugger, judged by what a user and a support
// engineer would see: exit codes, message boxes, exact trace records, and the
// log lines of the test task (OstrelinTestTask.dll).
#include "ChildProcess.h"
#include "CoreHandle.h"
#include "E2EPaths.h"
#include "Installation.h"
#include "LauncherTexts.h"
#include "MessageBoxFinder.h"
#include "MutexOwner.h"
#include "TestTaskClsid.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

namespace
{
using Lines = std::vector<std::string>;

// The system's own text for a code, untrimmed, as the trace shows it.
std::string SystemText(DWORD dwCode)
{
    CLocalMemory<char> text; // allocated, inserts ignored, from the system
    const DWORD cch = ::FormatMessageA(0x1300, nullptr, dwCode, 0,
                                       reinterpret_cast<char*>(text.AcceptHere()), 0, nullptr);
    return cch > 0 ? std::string(text.Get(), cch) : "?";
}

// The init and run lines of the tasks named, in order ("|": the task DLL was
// loaded anew, its count of runs starts again).
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

// "file(line): " of the line of the source file that holds needle.
std::string Place(const std::string& file, const std::string& needle)
{
    return file + "(" + std::to_string(SourceLine(file, needle)) + "): ";
}

// The lines before, then an error end: Thrown at the check point that holds
// needle, Caught, the banners; the compile date stands as [date].
Lines ErrorEnd(Lines lines, const std::string& file, const std::string& needle,
               const std::string& what)
{
    lines.insert(lines.end(), {Place(file, needle) + "Thrown: " + what + ": [date]\n",
                               Place("launcher/LauncherMain.cpp", "TraceCaught(") +
                                   "Caught: " + what + ": [date]\n",
                               BannerBeforeCoUninitialize(), BannerBeforeExit()});
    return lines;
}
} // namespace

TEST(TaskRunner, TaskListsInstructionsErrorEndsAndReloads)
{
    const CInstallation inst("runner");
    const std::string log = inst.Root() + "\\tasks.log", next = inst.Root() + "\\next.xml";
    // Test tasks, "A; B Instruction='2'; <Other/>": a name and its attributes, or an
    // element as it stands; {reload}: Config.xml replaced by next.xml, reloaded.
    const auto tasks = [&](const std::string& items)
    {
        const std::string reload =
            "Instruction='1' CopyFrom='" + next + "' CopyTo='" + inst.ConfigPath() + "'";
        const std::string task = "<Task CLSID=\"" + std::string(szOstrelinTestTaskClsid) +
                                 "\" Log=\"" + log + "\" Name=\"$1\"$2/>";
        std::istringstream stream(std::regex_replace(items, std::regex("\\{reload\\}"), reload));
        std::string xml = "<?xml version=\"1.0\"?>\n<Config>\n  <Run>\n";
        for (std::string item; std::getline(stream >> std::ws, item, ';');)
            xml += "    " +
                   (item[0] == '<' ? item
                                   : std::regex_replace(item, std::regex("^(\\S+)(.*)$"), task)) +
                   "\n";
        return xml + "  </Run>\n</Config>\n";
    };
    const std::string noInterface = "HRESULT: 0x80004002 : \"" + SystemText(E_NOINTERFACE) +
                                    "\") pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes )";
    const std::string testTask = "tasks/testtask/TestTask.cpp";
    // A's lines and what its Run traced, then the error end of a failed Run.
    const auto runFailed = [&](const char* pszCode, const Lines& traced)
    {
        Lines lines = Ran("A");
        lines.insert(lines.end(), traced.begin(), traced.end());
        return ErrorEnd(lines, "launcher/TaskRunner.cpp", "CHECK_HRESULT(pifTask->Run(",
                        "HRESULT: " + std::string(pszCode) + " : \"" +
                            SystemText(std::stoul(pszCode, nullptr, 16)) +
                            "\") pifTask->Run( &eInstruction )");
    };
    const std::string invalid = "HRESULT: 0x80070057 : \"" + SystemText(E_INVALIDARG) + "\")";
    const std::string problem =
        "---->\tCXMLDoc::FromURL() problem " + inst.BinFolder() + "/../\\bin\\Config.xml\n";
    // The tasks' log lines, then the trace records: none for a normal end
    // (exit code 0), those of an error end (exit code 4).
    const struct
    {
        const char* pszCase;
        std::string config; // "-": no file
        Lines expected;
        std::string next = "";
        bool fRoot = false;
    } cases[] = {
        {"empty Run", tasks(""), Lines()},
        {"document order, each Init with its own element", tasks("A; B; C"), Ran("A B C")},
        {"stop skips the rest", tasks("A Instruction='2'; B"), Ran("A")},
        {"3 and -1 count as continue; each Run starts from continue",
         tasks("A Instruction='3'; B Instruction='-1'; C"), Ran("A B C")},
        {"successes other than S_OK",
         tasks("A RunResult='1'; B RunResult='0x7FFFFFFF' Instruction='2'; C"), Ran("A B")},
        {"Init other than S_OK skips silently",
         tasks("A InitResult='1'; B InitResult='0x80004005'; C"),
         Lines{"init A", "init B", "init C", "run C runs=1"}},
        {"bad, missing and unregistered CLSIDs are skipped",
         tasks("<T CLSID='x'/>; <T/>; <T CLSID=''/>; <T "
               "CLSID='{00000000-0000-0000-0000-00000000ABCD}'/>; C"),
         Ran("C")},
        // A empties the variable whose address it gets; B gets the same, empty
        // variable, and the launcher's end closes nothing twice.
        {"a task that closes the register handle", tasks("A CloseRegisterMutex='1'; B"),
         Lines{"init A", "run A runs=1", "init B register=0", "run B runs=2"}},
        {"a reload reads the changed file from its first child, the unused task DLL freed",
         tasks("A {reload}; B"), Ran("A | C D"), tasks("C; D Instruction='2'; E")},
        {"a reloaded list that runs nothing ends the run", tasks("A {reload}"), Ran("A"),
         tasks("<T CLSID='none'/>")},
        // A failure from Run ends the run; an exception leaving Run becomes one,
        // never a success (a last error of 0 once read as one).
        {"a failing Run", tasks("A RunResult='0x8FFF0001'; B"), runFailed("0x8FFF0001", {})},
        {"bad_alloc from Run", tasks("A Throw='bad_alloc'"), runFailed("0x8007000E", {})},
        {"a core error from Run", tasks("A Throw='hresult'"),
         runFailed("0x80070005", {Place(testTask, "CHECK_HRESULT(E_ACCESSDENIED)") +
                                  "Thrown: HRESULT: 0x80070005 : \"" + SystemText(E_ACCESSDENIED) +
                                  "\") E_ACCESSDENIED: [date]\n"})},
        {"a Win32 error with last error 0 from Run", tasks("A Throw='win32'"),
         runFailed("0x80004005",
                   {Place(testTask, "CHECK_WIN32(false)") + "Thrown: LastError: 0 : \"" +
                    SystemText(0) + "\") false: [date]\n"})},
        {"anything else from Run", tasks("A Throw='other'"), runFailed("0x8000FFFF", {})},
        // A mistyped element of a sample task: its trace line naming the attribute,
        // the task's Thrown, the launcher's Thrown, all with the same code.
        {"a faulty element",
         tasks("<S CLSID='{80E8DBC2-87FA-4389-80BF-632FE5E394A2}' Program='x' Then='halt'/>"),
         ErrorEnd({"StartProgram: Then=\"halt\" is not one of: continue, stop\n",
                   Place("tasks/startprogram/StartProgram.cpp", "CHECK_HRESULT(m_hrConfig)") +
                       "Thrown: " + invalid + " m_hrConfig: [date]\n"},
                  "launcher/TaskRunner.cpp", "CHECK_HRESULT(pifTask->Run(",
                  invalid + " pifTask->Run( &eInstruction )")},
        {"a comment among the tasks", tasks("A; <!-- not a task -->; B"),
         ErrorEnd(Ran("A"), "core/include/CoreXML.h", "CHECK_HRESULT(pifNode.QueryInterface(",
                  noInterface)},
        {"no Config.xml", "-",
         ErrorEnd({problem}, "core/CoreXML.cpp", "CHECK_HRESULT(hRes);",
                  "HRESULT: 0x80070002 : \"" + SystemText(0x80070002) + "\") hRes")},
        {"no Config.xml where the root says", "-",
         ErrorEnd({"---->\tCXMLDoc::FromURL() problem " + inst.Root() + "\\bin\\Config.xml\n"},
                  "core/CoreXML.cpp", "CHECK_HRESULT(hRes);",
                  "HRESULT: 0x80070002 : \"" + SystemText(0x80070002) + "\") hRes"),
         "", true},
        {"an empty Config.xml", "",
         ErrorEnd({}, "core/CoreXML.cpp", "CHECK_HRESULT(E_FAIL);",
                  "HRESULT: 0x80004005 : \"" + SystemText(E_FAIL) + "\") E_FAIL")},
        // The last error of a missing root is whatever the thread then holds.
        {"no Run", "<Config><Tasks/></Config>",
         ErrorEnd({}, "launcher/TaskRunner.cpp", "CHECK_WIN32(Run);",
                  "LastError: 1168 : \"" + SystemText(ERROR_NOT_FOUND) + "\") Run")},
        // Memory and handles flat; the task pinned, so that only the launcher counts.
        {"a thousand reloads", tasks("M ReloadCount='1000' LogMemory='100' Pin='1'"), Lines()},
    };
    const std::regex date(": \\[[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}\\]\n$");
    const std::regex anyLastError("LastError: [0-9]+ : \"[^\"]*\"\\) Node");
    // Without the process id and what every line has: the register handle
    // present, the instruction continue on entry.
    const std::regex usual(" pid=[0-9]+| register=1| instruction=0|\r");
    const std::regex memory("(init|run) M .*?( private=([0-9]+) handles=([0-9]+))?\r?");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszCase);
        ::DeleteFileA(log.c_str());
        c.config == "-" ? inst.RemoveConfig() : inst.WriteConfig(c.config);
        std::ofstream(next, std::ios::binary) << c.next;
        const CSessionResult result = inst.Run(c.fRoot ? inst.RootArgument() : "");
        Lines actual;
        std::vector<long long> figures; // private bytes, handles: after 0, 100, ... 1000 reloads
        std::ifstream lines(log);
        std::smatch match;
        for (std::string line; std::getline(lines, line);)
        {
            if (!std::regex_match(line, match, memory))
                actual.push_back(std::regex_replace(line, usual, ""));
            else if (match[2].matched)
                figures.insert(figures.end(), {std::stoll(match[3]), std::stoll(match[4])});
        }
        for (const std::string& record : result.records)
            actual.push_back(std::regex_replace(std::regex_replace(record, date, ": [date]\n"),
                                                anyLastError, "LastError: * Node"));
        const bool fErrorEnd = !c.expected.empty() && c.expected.back() == BannerBeforeExit();
        EXPECT_EQ(SessionOutcome::Exited, result.outcome);
        EXPECT_EQ(fErrorEnd ? 4u : 0u, result.exitCode);
        EXPECT_EQ(c.expected, actual);
        EXPECT_TRUE(result.boxes.empty());
        // Warmed up after the first hundred passes; from there on, flat.
        const bool fFigures = figures.size() == 22;
        EXPECT_EQ(fFigures, std::string(c.pszCase) == "a thousand reloads") << figures.size();
        EXPECT_LE(fFigures ? figures[20] - figures[2] : 0, 256 * 1024) << "private bytes grew";
        EXPECT_LE(fFigures ? figures[21] - figures[3] : 0, 2) << "handles grew";
    }
}

// Other copies and the updater, played by this process. With an empty task
// list a launcher that passes the guard ends at once with 0 and shows nothing;
// an end in the guard writes both banners and ends with the guard's result.
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
        // Another copy's probe owns it for an instant: this one waits it out.
        {"own:exclusive", "instant", 0},
        // Would wait for the running copy, but the update probe comes first.
        {"own:exclusive own:instance", "root", 2},
        {"hold:exclusive", "", 0},
        // A running copy keeps the object alive while the updater dies owning it.
        {"abandoned:exclusive", "", 0},
        {"event:register", "root", 1},
        {"event:exclusive", "root", 1},
        {"event:instance", "", 0}, // unguarded
        {"own:instance", "root release", 0},
        {"own:instance", "root abandon", 0},
        {"own:instance", "other", 0},
        {"own:instance", "short", 0}, // the same folder spelled otherwise: another key
        {"own:instance", "root", 3},  // the one case that waits out the full 30 s
    };
    for (const auto& c : cases)
    {
        const std::string held = c.pszHeld, start = c.pszStart;
        const CInstallation& installation = start.find("other") != 0 ? guarded : other;
        const std::string commandLine =
            start == "short"
                ? guarded.ShortCommandLine()
                : installation.CommandLine(
                      start.find("root") != std::string::npos ? installation.RootArgument() : "");
        SCOPED_TRACE(held + ", " + start + ": " + commandLine);
        std::vector<std::unique_ptr<CMutexOwner>> owners;
        std::istringstream objects(held);
        for (std::string object; objects >> object;)
            owners.push_back(
                std::make_unique<CMutexOwner>(kinds.at(object.substr(0, object.find(':'))),
                                              names.at(object.substr(object.find(':') + 1))));

        // While the box is up, the launcher has closed its own fixed mutexes.
        bool fOpenAtBox = false;
        CRunOptions options;
        options.onEvent = [&](const CTraceEvent& event)
        {
            for (const char* pszName : {"register", "exclusive"})
            {
                if (event.kind != TraceEventKind::MessageBox)
                    break;
                const CUniqueHandle hMutex(
                    ::OpenMutexA(SYNCHRONIZE, FALSE, names.at(pszName).c_str()));
                fOpenAtBox |=
                    hMutex && held.find(std::string("own:") + pszName) == std::string::npos;
            }
        };
        std::future<CSessionResult> run =
            std::async(std::launch::async,
                       [&] { return CInstallation::RunCommandLine(commandLine, options); });
        if (start == "instant")
        {
            // Less than the probe's wait after the launcher's start, so after its probe began.
            ::Sleep(900);
            owners.back()->Release();
        }
        if (start.find("release") != std::string::npos ||
            start.find("abandon") != std::string::npos)
        {
            // A correct launcher waits 30 s here; this only proves it did not go on.
            EXPECT_EQ(std::future_status::timeout, run.wait_for(std::chrono::seconds(2)));
            start.find("release") != std::string::npos ? owners.back()->Release()
                                                       : owners.back()->Abandon();
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

// Thirty copies started at the same moment; copies that probed for the updater
// at the same moment once took each other for it.
TEST(Race, ThirtyCopiesStartedTogether)
{
    const size_t cCopies = 30;
    // The prefix's desktop process starts with its first window, and copies
    // that race to start it may find none, whose boxes then fail: start it
    // here, as the desktop of a logon is there before the launcher.
    ASSERT_TRUE(::GetDesktopWindow() != nullptr);
    const std::string hold = "OstrelinRaceHold" + std::to_string(::GetCurrentProcessId());
    const struct
    {
        int iRoot; // copies with %ResourceRoot%: 0 none, 1 all, 2 every second one
        std::string attributes;
        std::map<DWORD, size_t> exitCodes;
        bool fUpdater = false;
    } cases[] = {
        // Exactly one runs; it holds its task open until the others have ended,
        // so that none can start after it.
        {0, "WaitEvent='" + hold + "'", {{0, 1}, {3, cCopies - 1}}},
        {1, "", {{0, cCopies}}},              // all run, one after the other
        {1, "Terminate='9'", {{9, cCopies}}}, // each dying copy hands the installation on
        {2, "", {{2, cCopies}}, true},        // an updater holding the installation stops them all
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.attributes + (c.fUpdater ? " with the updater" : ""));
        CInstallation installation("race");
        const std::string log = installation.Root() + "\\tasks.log";
        installation.WriteConfig(std::string("<Config><Run><Task CLSID='") +
                                 szOstrelinTestTaskClsid + "' Log='" + log +
                                 "' DelayMs='20' OverlapMutex='" + hold + "Overlap' " +
                                 c.attributes + "/></Run></Config>");
        const CUniqueHandle hHold(::CreateEventA(nullptr, TRUE, FALSE, hold.c_str()));
        const std::unique_ptr<CMutexOwner> updater(
            c.fUpdater ? new CMutexOwner(CMutexOwner::Kind::Own, szExclusiveMutexName) : nullptr);
        std::vector<PROCESS_INFORMATION> copies(cCopies);
        std::vector<CUniqueHandle> owned; // each copy's process and thread
        std::vector<DWORD> exitCodes(cCopies, STILL_ACTIVE);
        std::vector<std::map<HWND, std::string>> boxes(cCopies); // "caption: text"
        for (size_t i = 0; i < cCopies; ++i)
        {
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            std::string commandLine = installation.CommandLine(
                c.iRoot == 1 || (c.iRoot == 2 && i % 2) ? installation.RootArgument() : "");
            ASSERT_TRUE(::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                         CREATE_SUSPENDED, nullptr, nullptr, &startup, &copies[i]));
            owned.emplace_back(copies[i].hProcess), owned.emplace_back(copies[i].hThread);
        }
        for (const PROCESS_INFORMATION& copy : copies)
            ::ResumeThread(copy.hThread);
        // Until cWanted have ended, pressing OK on boxes. The limit is only
        // against a hang: under emulation thirty starts take minutes.
        const auto waitFor = [&](size_t cWanted)
        {
            size_t cEnded = 0;
            for (const DWORD nStart = ::GetTickCount();
                 cEnded < cWanted && ::GetTickCount() - nStart < 600000; ::Sleep(20))
            {
                cEnded = 0;
                for (size_t i = 0; i < cCopies; ++i)
                {
                    cEnded += ::GetExitCodeProcess(copies[i].hProcess, &exitCodes[i]) &&
                              exitCodes[i] != STILL_ACTIVE;
                    for (const CMessageBoxWindow& box : FindMessageBoxes(copies[i].dwProcessId))
                    {
                        boxes[i][box.hwnd] = box.caption + ": " + box.text;
                        PressOk(box.hwnd);
                    }
                }
            }
            return cEnded;
        };
        if (c.iRoot == 0)
        {
            EXPECT_EQ(cCopies - 1, waitFor(cCopies - 1));
        }
        ::SetEvent(hHold.Get());
        EXPECT_EQ(cCopies, waitFor(cCopies));

        // Per copy that ran, its Init and Run lines; a Run that began while
        // another one ran ends with "overlap".
        std::map<std::string, std::string> turns;
        std::ifstream lines(log);
        for (std::string line, verb, name, pid; std::getline(lines, line);)
        {
            std::istringstream(line) >> verb >> name >> pid;
            turns[pid] += verb + (line.find("overlap") == std::string::npos ? " " : " overlap ");
        }
        std::map<DWORD, size_t> exitCounts;
        for (size_t i = 0; i < cCopies; ++i)
        {
            ++exitCounts[exitCodes[i]];
            std::string seen;
            for (const auto& box : boxes[i])
                seen += box.second;
            EXPECT_EQ(c.fUpdater ? UpdateBox().caption + ": " + UpdateBox().text : "", seen);
            EXPECT_EQ(exitCodes[i] == 0 || exitCodes[i] == 9 ? "init run " : "",
                      turns["pid=" + std::to_string(copies[i].dwProcessId)])
                << "process " << copies[i].dwProcessId << " ended with " << exitCodes[i];
            ::TerminateProcess(copies[i].hProcess, 1); // only one that hangs
        }
        EXPECT_EQ(c.exitCodes, exitCounts);
        EXPECT_EQ(cCopies, turns.size()) << "log lines of other processes";
    }
}
