// Installations as they occur in the field, run with the real launcher: folders
// outside the ANSI code page and deeper than MAX_PATH, tasks that end the
// process abnormally, broken installations. Exact records and exit codes.
#include "ChildProcess.h"
#include "ComApartment.h"
#include "ConfigScramble.h"
#include "CoreFile.h"
#include "CoreTrace.h"
#include "CoreXML.h"
#include "E2EPaths.h"
#include "Explain.h"
#include "InprocServerKey.h"
#include "Installation.h"
#include "TaskConfigText.h"
#include "LauncherTexts.h"
#include "MutexOwner.h"
#include "TestTaskClsid.h"
#include "ToolRun.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

namespace
{
using Lines = std::vector<std::string>;

const std::string strLog = GetTestTempFolder() + "real.log";
const wchar_t wszLodz[] = L"\u0141\u00f3d\u017a"; // letters that code page 1252 lacks
const char szMissingClsid[] = "{6F1C2E0A-5B7D-4E8F-9A3B-2C4D6E8F0A1B}";
const char szAbortRecord[] =
    "---->\tabort() called: a task aborted, or a C++ exception left a task\n";

std::string Task(const std::string& attributes = "")
{
    return "<Task CLSID=\"" + std::string(szOstrelinTestTaskClsid) + "\" Log=\"" + strLog +
           "\" Name=\"A\" " + attributes + "/>";
}

std::string Config(const std::string& tasks = Task())
{
    return "<?xml version=\"1.0\"?>\n<Config>\n  <Run>\n    " + tasks + "\n  </Run>\n</Config>\n";
}

// The tasks' log as "init A", "run A", ...
Lines ReadLog()
{
    Lines lines;
    std::ifstream log(strLog);
    std::string verb, name, rest;
    while (log >> verb >> name && std::getline(log, rest))
        lines.push_back(verb + " " + name);
    return lines;
}

// The same, emptied for the next run.
Lines TakeLog()
{
    const Lines lines = ReadLog();
    ::DeleteFileA(strLog.c_str());
    return lines;
}

// Compile dates vary with the build.
Lines WithoutDates(Lines records)
{
    const std::regex date(": \\[[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}\\]\n$");
    for (std::string& record : records)
        record = std::regex_replace(record, date, ": [DATE]\n");
    return records;
}

// What the platform's parser says of these bytes, as the launcher's record.
std::string ParseErrorRecord(const std::string& path, const std::string& bytes)
{
    const CComApartment apartment;
    CText reason;
    long nLine = 0, nColumn = 0;
    CXMLDoc::FromBytes(bytes.data(), static_cast<ULONG>(bytes.size()))
        .GetParseError(reason, nLine, nColumn);
    return "---->\tCXMLDoc::FromURL() parse error " + path + "(" + std::to_string(nLine) + "," +
           std::to_string(nColumn) + "): " + reason.GetString() + "\n";
}

// ReadFolder's entries with a digest of each file, to compare and show.
std::map<std::string, std::string> Digest(std::map<std::string, std::string> entries)
{
    for (auto& entry : entries)
        entry.second = std::to_string(entry.second.size()) + " bytes, hash " +
                       std::to_string(std::hash<std::string>()(entry.second));
    return entries;
}

// A name that makes an installation's bin folder cchFolder characters long,
// in folders of 100 characters.
std::wstring NameForBinFolderLength(size_t cchFolder)
{
    std::wstring name(cchFolder - GetTestTempFolder().size() - 4, L'k');
    for (size_t i = 100; i < name.size() - 1; i += 101)
        name[i] = L'\\';
    return name;
}

// The launcher's path spelled with a step into a folder and out again, so
// that its instance key is cchKey characters long: "<bin>_<step>". (Wine starts
// no program whose real path is longer than MAX_PATH.)
std::string StepName(const CInstallation& inst, size_t cchKey)
{
    return std::string(cchKey - inst.BinFolder().size() - 1, 's');
}

std::wstring SpelledCommandLine(const CInstallation& inst, const std::string& step)
{
    return L"\"" + WideFrom(inst.BinFolder() + "\\" + step + "\\..\\Ostrelin.exe", CP_ACP) + L"\"";
}

// The documented rule for keys over MAX_PATH characters.
std::string ShortenedKey(const std::string& key)
{
    unsigned long long nHash = 14695981039346656037ull;
    for (const char ch : key)
        nHash = (nHash ^ static_cast<unsigned char>(ch)) * 1099511628211ull;
    char szHash[17];
    std::snprintf(szHash, sizeof(szHash), "%016llx", nHash);
    std::string tail = key.substr(key.size() - 243);
    return szHash + ("_" + tail.substr(tail[0] == '_' ? 1 : 0));
}
// Wine's version as major * 100 + minor; 0 outside Wine.
int WineVersion()
{
    using PGetVersion = const char*(CDECL*)();
    const auto pfnGetVersion = reinterpret_cast<PGetVersion>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    int nMajor = 0, nMinor = 0;
    if (pfnGetVersion != nullptr)
        std::sscanf(pfnGetVersion(), "%d.%d", &nMajor, &nMinor);
    return nMajor * 100 + nMinor;
}
} // namespace

TEST(RealInstallation, FoldersOutsideTheCodePageAndBeyondMaxPathRunTheirTasks)
{
    CInstallation lodz(wszLodz);
    CInstallation club("club");
    CInstallation deep(NameForBinFolderLength(MAX_PATH)); // Config.xml: 271 characters
    const struct
    {
        const CInstallation& launcher;
        const CInstallation* pRoot; // the %ResourceRoot% given, if any
        bool scrambled;
        bool throughTraceTool;
    } cases[] = {
        {lodz, nullptr, false, false}, {lodz, nullptr, true, false}, {lodz, &lodz, false, false},
        {lodz, &lodz, true, false},    {lodz, nullptr, false, true}, {club, &deep, false, false},
        {club, &deep, true, false},
    };
    for (const auto& c : cases)
    {
        const CInstallation& configured = c.pRoot ? *c.pRoot : c.launcher;
        SCOPED_TRACE(configured.Root() + (c.scrambled ? " scrambled" : " plain") +
                     (c.pRoot ? ", with root" : "") + (c.throughTraceTool ? ", traced" : ""));
        configured.WriteConfig(c.scrambled ? ScrambleConfig(Config(), "Config.xml") : Config());
        const std::wstring arguments = c.pRoot ? c.pRoot->RootArgumentW() : L"";
        // ostrelin-trace debugs the launcher in turn and ends with its exit code.
        const std::wstring commandLine = c.launcher.CommandLineW(arguments);
        const CSessionResult result = CInstallation::RunCommandLineW(
            c.throughTraceTool
                ? L"\"" + WideFrom(GetBinFolder(), CP_ACP) + L"ostrelin-trace.exe\" " + commandLine
                : commandLine);
        EXPECT_EQ(SessionOutcome::Exited, result.outcome) << result.startError;
        EXPECT_EQ(0u, result.exitCode);
        EXPECT_EQ(Lines(), result.records);
        EXPECT_EQ(Lines({"init A", "run A"}), TakeLog());
    }
}

TEST(RealInstallation, InstanceKeysAtAndBeyondTheLimitGuard)
{
    CInstallation inst("keys");
    inst.WriteConfig(Config());
    std::string bin = inst.BinFolder(); // its key: lower case, '\' as '_'
    for (char& ch : bin)
        ch = ch == '\\' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    ASSERT_EQ(std::string::npos, bin.find_first_of("./ %\"")) << bin;
    const std::string atLimit = StepName(inst, MAX_PATH), beyond = StepName(inst, MAX_PATH + 1);
    const struct
    {
        std::string step;
        std::string mutexName;
    } cases[] = {
        {atLimit, bin + "_" + atLimit},
        {beyond, ShortenedKey(bin + "_" + beyond)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.mutexName);
        const CMutexOwner running(CMutexOwner::Kind::Own, c.mutexName);
        const CSessionResult result = CInstallation::RunCommandLineW(
            SpelledCommandLine(inst, c.step), CRunOptions(), inst.LauncherPathW());
        EXPECT_EQ(3u, result.exitCode);
        EXPECT_EQ(ClosingBanners(), result.records);
        EXPECT_EQ(Lines(), TakeLog());
    }
}

// The ends no task reaches in the launcher's own code (std::terminate there,
// a context set by the run) come from a probe built from the same source.
TEST(RealInstallation, AbnormalEndsWriteOneRecordAndEndWith4)
{
    CInstallation inst("abnormal");
    const std::string context = "child 2 of 3 <Crash> CLSID=\"{X}\"", running = "; while running ";
    const std::string terminated = "---->\tstd::terminate() called: ";
    const std::string abortRecord = std::string(szAbortRecord);
    const std::string aborted = abortRecord.substr(0, abortRecord.size() - 1);
    const struct
    {
        std::string what; // the test task's attributes, or "probe <arguments>"
        const char* pszExplain;
        std::string last; // the last record; the only one but for a Thrown before it
    } cases[] = {
        {"Escape='escaped from Run'", nullptr, szAbortRecord},
        // At once: the task DLL's unloading code never runs.
        {"Abort='1' TellUnload='1'", nullptr, szAbortRecord},
        // A terminate handler that returned into the runtime would add abort()'s record.
        {"probe terminate", nullptr, terminated + "std::exception \"left a noexcept function\"\n"},
        {"probe hresult", nullptr,
         terminated + "HRESULT: 0x80004005 : \"" + GetSystemMessage(E_FAIL).GetString() +
             "\") E_FAIL\n"},
        {"probe terminate \"" + std::regex_replace(context, std::regex("\""), "\\\"") + "\"", "1",
         terminated + "std::exception \"left a noexcept function\"" + running + context + "\n"},
        {"probe abort \"child 1 of 1 <Task>\"", "1", aborted + running + "child 1 of 1 <Task>\n"},
        // Not explaining: the record stays as it always was.
        {"probe abort \"child 1 of 1 <Task>\"", nullptr, szAbortRecord},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CRunOptions options;
        if (c.pszExplain)
            options.environment = {std::string("OSTRELIN_EXPLAIN=") + c.pszExplain};
        CSessionResult result;
        if (c.what.compare(0, 6, "probe ") == 0)
            result = CInstallation::RunCommandLine(
                "\"" + GetBinFolder() + "ostrelin-abnormal-probe.exe\" " + c.what.substr(6),
                options);
        else
        {
            inst.WriteConfig(Config(Task(c.what) + Task()));
            result = inst.Run("", options);
            EXPECT_EQ(Lines({"init A", "run A"}), TakeLog());
        }
        EXPECT_EQ(4u, result.exitCode);
        ASSERT_FALSE(result.records.empty());
        EXPECT_EQ(c.last, result.records.back());
        EXPECT_EQ(c.what == "probe hresult" ? 2u : 1u, result.records.size());
        EXPECT_TRUE(result.boxes.empty());
    }
}

// What another process sees of the launcher's named mutexes: the fixed ones
// never owned, so that the updater and other copies never wait on a running
// launcher; the instance key owned while it runs, and abandoned at its end.
TEST(RealInstallation, NamedMutexesAsOtherProcessesSeeThem)
{
    CInstallation inst("seen");
    const std::string event = "ostrelin-seen-" + std::to_string(::GetCurrentProcessId());
    const CUniqueHandle hEvent(::CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    inst.WriteConfig(Config(Task("WaitEvent='" + event + "'")));
    CChildProcess launcher;
    ASSERT_TRUE(launcher.Start(inst.CommandLine()));
    for (int i = 0; i < 1200 && ReadLog().size() < 2; ++i)
        ::Sleep(50);
    const struct
    {
        std::string name;
        DWORD dwWhileRunning, dwAfterEnd; // what a wait of 0 ms answers
    } cases[] = {
        {szRegisterMutexName, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {szExclusiveMutexName, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {inst.InstanceKey(), WAIT_TIMEOUT, WAIT_ABANDONED},
    };
    std::vector<CUniqueHandle> mutexes;
    const auto probe = [](HANDLE hMutex)
    {
        const DWORD dwWait = ::WaitForSingleObject(hMutex, 0);
        if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
            ::ReleaseMutex(hMutex);
        return dwWait;
    };
    for (const auto& c : cases)
    {
        mutexes.emplace_back(::OpenMutexA(SYNCHRONIZE, FALSE, c.name.c_str()));
        ASSERT_TRUE(mutexes.back()) << c.name;
        EXPECT_EQ(c.dwWhileRunning, probe(mutexes.back().Get())) << c.name;
    }
    ::SetEvent(hEvent.Get());
    ASSERT_TRUE(launcher.WaitForExit(CRunOptions().timeoutMs));
    EXPECT_EQ(0u, launcher.ExitCode());
    for (size_t i = 0; i < mutexes.size(); ++i)
        EXPECT_EQ(cases[i].dwAfterEnd, probe(mutexes[i].Get())) << cases[i].name;
    EXPECT_EQ(Lines({"init A", "run A"}), TakeLog());
}

// Started as at logon: no debugger, so the launcher itself ends a crash, with
// its record in the explain folder's file and a minidump beside it that names
// the task.
TEST(RealInstallation, CrashesEndWith4AndARecordWithoutADebugger)
{
    CInstallation inst("crash");
    const std::string folder = GetTestTempFolder() + "crashes";
    const std::string at = " at 0x[0-9A-F]{" + std::to_string(2 * sizeof(void*)) + "}, ";
    const std::string task = at + "OstrelinTestTask\\.dll\\+0x[0-9A-F]+";
    const std::string access = "0xC0000005 \\(access violation writing 0x0+\\)" + task;
    const struct
    {
        const char* pszAttributes;
        const char* pszHow; // "folder": OSTRELIN_EXPLAIN names one; "plain"; "debugger"
        std::string what;   // the record after "crash: exception ", a pattern; "": none
        Lines log;
    } cases[] = {
        {"Crash='access'", "folder", access, {"init A", "run A"}},
        {"Crash='divide'",
         "folder",
         "0xC0000094 \\(integer division by zero\\)" + task,
         {"init A", "run A"}},
        {"Crash='raise'",
         "folder",
         "0xE0000042" + at + "kernelbase\\.dll\\+0x[0-9A-F]+",
         {"init A", "run A"}},
        {"Crash='stack'", "folder", "0xC00000FD \\(stack overflow\\)" + task, {"init A", "run A"}},
        {"InitCrash='access'", "folder", access, {}},
        // A second crash, of another thread, while the first is reported.
        {"Crash='twothreads'", "folder", access, {"init A", "run A"}},
        // A crash of the report itself ends the process at once, not after 120 s.
        {"Crash='inreport'", "plain", "", {"init A", "run A"}},
        // A crash while the run says what it does names it.
        {"probe crash \"child 2 of 3 <Crash> CLSID=\\\"{X}\\\"\"",
         "folder",
         "0xC0000005 \\(access violation writing 0x0+\\)" + at +
             "ostrelin-abnormal-probe\\.exe\\+0x[0-9A-F]+; while running child 2 of 3 <Crash> "
             "CLSID=\"\\{X\\}\"",
         {}},
        {"Crash='access'", "plain", "", {"init A", "run A"}},
        // A debugger sees the crash first, and the process ends with its code.
        {"Crash='divide'", "debugger", "", {"init A", "run A"}},
    };
    // A platform difference: Wine 10 on x64 (10.0) raised the overflow with
    // 0x280 bytes of stack left, not the 64 KiB the launcher's stack guarantee
    // asks for, found no room for the exception ("virtual_setup_exception stack
    // overflow") and ended the process with 1: no handler of the launcher ran.
    const bool fOverflowUnhandled = sizeof(void*) == 8 && WineVersion() >= 1000;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.pszAttributes) + " " + c.pszHow);
        const std::string what = c.pszAttributes;
        const bool fProbe = what.compare(0, 6, "probe ") == 0;
        const bool fNoHandler = fOverflowUnhandled && c.what.find("overflow") != std::string::npos;
        inst.WriteConfig(Config(Task(c.pszAttributes) + Task()));
        RemoveFolder(folder);
        const std::string how = c.pszHow;
        if (how == "debugger")
        {
            const CSessionResult result = inst.Run();
            EXPECT_EQ(static_cast<DWORD>(EXCEPTION_INT_DIVIDE_BY_ZERO), result.exitCode);
            EXPECT_TRUE(result.records.empty());
        }
        else
        {
            EXPECT_EQ(fNoHandler ? 1u : 4u,
                      CInstallation::RunCommandLineAsAtLogon(
                          fProbe ? "\"" + GetBinFolder() + "ostrelin-abnormal-probe.exe\" " +
                                       what.substr(6)
                                 : inst.CommandLine(),
                          how == "folder" ? folder : ""));
        }
        const auto entries = ReadFolder(folder);
        const auto files = ExplainFiles(entries);
        EXPECT_EQ(how == "folder" ? 1u : 0u, files.size());
        if (fNoHandler)
            EXPECT_TRUE(files.empty() ||
                        files.begin()->second.find("crash: ") == std::string::npos);
        else if (how == "folder" && !c.what.empty() && files.size() == 1)
        {
            const std::string& records = files.begin()->second;
            const std::string name = files.begin()->first;
            const std::string dump = folder + "\\" + name.substr(0, name.size() - 4) + ".dmp";
            // The running child, when the runner names one, is its own test's.
            const std::regex crash("\n[-0-9: .]{24}---->\tcrash: exception " + c.what +
                                   "(; while running child [^;]+)?; minidump ");
            EXPECT_EQ(1, std::distance(std::sregex_iterator(records.begin(), records.end(), crash),
                                       std::sregex_iterator()))
                << records;
            EXPECT_EQ(records.size() - dump.size() - 1, records.rfind(dump)) << records;
            // The module list holds the task's name, in UTF-16.
            const std::wstring module =
                fProbe ? L"ostrelin-abnormal-probe.exe" : L"OstrelinTestTask.dll";
            const auto dumped = entries.find(name.substr(0, name.size() - 4) + ".dmp");
            ASSERT_TRUE(dumped != entries.end());
            EXPECT_NE(std::string::npos,
                      dumped->second.find(std::string(reinterpret_cast<const char*>(module.c_str()),
                                                      module.size() * sizeof(wchar_t))));
        }
        EXPECT_EQ(c.log, TakeLog());
    }
    RemoveFolder(folder);
}

TEST(RealInstallation, BrokenInstallationsSayWhatIsBroken)
{
    CInstallation inst("broken");
    // A class registered as in-process server whose DLL is gone.
    const std::string key =
        RegisterInprocServer(szMissingClsid, inst.BinFolder() + "\\Gone.dll", REG_SZ);

    const std::string runner = "launcher/TaskRunner.cpp";
    const std::string caught =
        "launcher/LauncherMain.cpp(" +
        std::to_string(SourceLine("launcher/LauncherMain.cpp", "TraceCaught(")) + "): Caught: ";
    const std::string node = "LastError: 1465 : \"" +
                             std::string(GetSystemMessage(ERROR_XML_PARSE_ERROR)) +
                             "\") Node: [DATE]\n";
    const std::string thrown =
        runner + "(" + std::to_string(SourceLine(runner, "CHECK_WIN32(Node);")) + "): Thrown: ";
    const std::string path = inst.BinFolder() + "/../\\bin\\Config.xml";
    const std::string malformed = "<Config><Run></Config>";
    const std::string otherName = ScrambleConfig(Config(), "Other.xml");
    const struct
    {
        const char* pszCase;
        std::string config;
        DWORD exitCode;
        Lines records;
        Lines log;
    } cases[] = {
        {"registered, DLL missing: traced and skipped",
         Config("<Gone CLSID='" + std::string(szMissingClsid) + "'/>" + Task()),
         0,
         {"---->\tCoCreateInstance() problem 0x80070005: child 1 <Gone> CLSID=\"" +
          std::string(szMissingClsid) + "\"\n"},
         {"init A", "run A"}},
        {"malformed",
         malformed,
         4,
         {ParseErrorRecord(path, malformed), thrown + node, caught + node,
          BannerBeforeCoUninitialize(), BannerBeforeExit()},
         {}},
        {"scrambled for another name",
         otherName,
         4,
         {ParseErrorRecord(path, otherName), thrown + node, caught + node,
          BannerBeforeCoUninitialize(), BannerBeforeExit()},
         {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszCase);
        inst.WriteConfig(c.config);
        const CSessionResult result = inst.Run();
        EXPECT_EQ(c.exitCode, result.exitCode);
        EXPECT_EQ(c.records, WithoutDates(result.records));
        EXPECT_EQ(c.log, TakeLog());
    }
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());

    // A folder named Config.xml where an update is staged stays there, and so
    // does every file of bin, byte for byte, start after start.
    const std::string staged = inst.Root() + "\\update\\Config.xml";
    ASSERT_TRUE(::CreateDirectoryA((inst.Root() + "\\update").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(staged.c_str(), nullptr));
    std::ofstream(staged + "\\inside.xml") << Config();
    inst.WriteConfig(Config(
        "<Apply CLSID='{D3F6EF44-2AD0-48D5-9F66-ECCF3BCAD858}' Staging='..\\update'/>" + Task()));
    const auto binFiles = [&]
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(inst.BinFolder()))
        {
            std::ostringstream bytes;
            bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            files[entry.path().string()] = entry.is_regular_file() ? bytes.str() : "folder";
        }
        return files;
    };
    const auto before = binFiles();
    for (int iStart = 0; iStart < 2; ++iStart)
    {
        const CSessionResult result = inst.Run();
        EXPECT_EQ(0u, result.exitCode);
        EXPECT_EQ(Lines({"ApplyStagedConfig: " + staged +
                         " is not a file: left where it is; the configuration stays as it is\n"}),
                  result.records);
        EXPECT_EQ(Lines({"init A", "run A"}), TakeLog());
    }
    EXPECT_TRUE(before == binFiles());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY),
              ::GetFileAttributesA(staged.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(RealInstallation, PathsOfMaxPathOrMoreOpenInTheirFullForm)
{
    const std::wstring folder(250, L'f');
    const struct
    {
        std::wstring path, expected;
    } cases[] = {
        {L"C:\\short\\Config.xml", L"C:\\short\\Config.xml"},
        {L"C:\\" + folder + L"\\x\\..\\Config.xml", L"\\\\?\\C:\\" + folder + L"\\Config.xml"},
        {L"\\\\server\\share\\" + folder + L"/Config.xml",
         L"\\\\?\\UNC\\server\\share\\" + folder + L"\\Config.xml"},
        {L"\\\\?\\C:\\" + folder + L"\\.\\Config.xml",
         L"\\\\?\\C:\\" + folder + L"\\.\\Config.xml"},
    };
    for (const auto& c : cases)
    {
        const CWideText form = LongPathForm(CWideText(c.path.c_str()));
        EXPECT_EQ(c.expected, std::wstring(form.c_str()));
    }
}

TEST(RealInstallation, ExplainedRunSaysWhatHappenedAndWhy)
{
    CInstallation inst("explained");
    const std::string folder = GetTestTempFolder() + "explained-logs", key = inst.InstanceKey();
    const std::string clsid = szOstrelinTestTaskClsid,
                      unknown = "{00000000-0000-0000-0000-0000000ABCDE}";
    const auto X = [](const std::string& text) { return "Ostrelin: " + text + "\n"; };
    const std::string view =
        sizeof(void*) == 8 ? "64-bit registry view: " : "32-bit registry view: ";
    const auto pass = [&](const char* pszForm, int cChildren)
    {
        return X("pass 1: " + inst.BinFolder() + "/../\\bin\\Config.xml, " + pszForm + ", " +
                 std::to_string(cChildren) + (cChildren == 1 ? " child" : " children"));
    };
    const auto child = [&](int i, int c, const std::string& name, const std::string& text)
    {
        return "child " + std::to_string(i) + " of " + std::to_string(c) + " <" + name +
               "> CLSID=\"" + text + "\": ";
    };
    const auto created = [&](int i, int c)
    {
        return X(child(i, c, "Task", clsid) + "created from " + GetBinFolder() +
                 "OstrelinTestTask.dll, as the registry names it");
    };
    const std::string probe = X("guard: update probe: no update running");
    const std::string taken = X("guard: instance key \"" + key + "\" taken (waited T ms)");
    const std::string scrambled =
        ScrambleConfig(Config("<Bad CLSID='nope'/><Unknown CLSID='" + unknown + "'/>" +
                              Task("InitResult='1'") + Task("Instruction='2'")),
                       "Config.xml");
    const Lines explained = {
        probe,
        taken,
        pass("scrambled", 4),
        X(child(1, 4, "Bad", "nope") + "not a CLSID (0x800401F3), skipped"),
        X(child(2, 4, "Unknown", unknown) + "not registered (0x80040154), skipped; " + view +
          "no InprocServer32 value"),
        created(3, 4),
        X(child(3, 4, "Task", clsid) + "Init refused (0x00000001), skipped"),
        created(4, 4),
        X(child(4, 4, "Task", clsid) + "ran, Run 0x00000000, instruction 2 (stop), T ms"),
        X("run ends: 1 of 4 children ran, 3 skipped: child 1 <Bad> not a CLSID, child 2 "
          "<Unknown> not registered, child 3 <Task> Init refused"),
        X("ends with exit code 0")};
    // Registered as COM reads it: quoted, with a variable; the file is gone.
    const std::string gone = "%SystemRoot%\\no-such\\Gone.dll",
                      goneKey =
                          RegisterInprocServer(szMissingClsid, "\"" + gone + "\"", REG_EXPAND_SZ);
    char szGone[MAX_PATH];
    ::ExpandEnvironmentStringsA(gone.c_str(), szGone, MAX_PATH);
    const std::string failed = Config(Task("RunResult='0x8FFF0001'")),
                      runner = "launcher/TaskRunner.cpp";
    const std::string what = "HRESULT: 0x8FFF0001 : \"?\") pifTask->Run( &eInstruction ): [DATE]\n";
    const struct
    {
        std::string value; // of OSTRELIN_EXPLAIN; "-": unset
        std::string config;
        std::string peer; // a mutex another process owns; "=" before it: an event
        Lines records;
    } cases[] = {
        {"-", scrambled, "", {}},
        {"false", scrambled, "", {}},
        {"OFF", scrambled, "", {}},
        // What "set OSTRELIN_EXPLAIN=0 && ..." gives in cmd, and the like.
        {"0 ", scrambled, "", {}},
        {"1", scrambled, "", explained},
        {"1 ", scrambled, "", explained},
        // A folder that cannot be made: one record, then as without the variable.
        {"Q:\\no\\such\\folder",
         scrambled,
         "",
         {X("explain folder \"Q:\\no\\such\\folder\" is not used: it cannot be created "
            "(LastError N)")}},
        {folder,
         failed,
         "",
         {probe, taken, pass("plain", 1), created(1, 1),
          runner + "(" +
              std::to_string(SourceLine(runner, "CHECK_HRESULT(pifTask->Run( &eInstruction ))")) +
              "): Thrown: " + what,
          X(child(1, 1, "Task", clsid) + "Run failed after T ms: the run ends"),
          "launcher/LauncherMain.cpp(" +
              std::to_string(SourceLine("launcher/LauncherMain.cpp", "TraceCaught(")) +
              "): Caught: " + what,
          X("ends with exit code 4"), BannerBeforeCoUninitialize(), BannerBeforeExit()}},
        {"1",
         failed,
         key,
         {probe, X("guard: instance key \"" + key + "\" is held by another copy (waited T ms)"),
          X("ends with exit code 3"), BannerBeforeCoUninitialize(), BannerBeforeExit()}},
        {"1",
         failed,
         szExclusiveMutexName,
         {X("guard: update probe: \"ZembraniExclusiveMutex\" is owned by the updater"),
          X("ends with exit code 2"), BannerBeforeCoUninitialize(), BannerBeforeExit()}},
        {"1",
         Config(),
         "=" + key,
         {probe,
          X("guard: instance mutex \"" + key +
            "\" could not be created (LastError 6): runs unguarded"),
          pass("plain", 1), created(1, 1),
          X(child(1, 1, "Task", clsid) + "ran, Run 0x00000000, instruction 0 (continue), T ms"),
          X("ends with exit code 0")}},
        {"1",
         Config("<Gone CLSID='" + std::string(szMissingClsid) + "'/>" + Task()),
         "",
         {probe, taken, pass("plain", 2),
          "---->\tCoCreateInstance() problem 0x80070005: child 1 <Gone> CLSID=\"" +
              std::string(szMissingClsid) + "\"\n",
          X(child(1, 2, "Gone", szMissingClsid) + "cannot be created (0x80070005), skipped; " +
            view + "InprocServer32 \"" + szGone + "\", no such file"),
          created(2, 2),
          X(child(2, 2, "Task", clsid) + "ran, Run 0x00000000, instruction 0 (continue), T ms"),
          X("run ends: 1 of 2 children ran, 1 skipped: child 1 <Gone> cannot be created"),
          X("ends with exit code 0")}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value + " " + c.peer);
        inst.WriteConfig(c.config);
        RemoveFolder(folder);
        std::unique_ptr<CMutexOwner> peer;
        if (!c.peer.empty())
            peer.reset(c.peer[0] == '='
                           ? new CMutexOwner(CMutexOwner::Kind::Event, c.peer.substr(1))
                           : new CMutexOwner(CMutexOwner::Kind::Own, c.peer));
        CRunOptions options;
        if (c.value != "-")
            options.environment = {"OSTRELIN_EXPLAIN=" + c.value};
        const CSessionResult result = inst.Run("", options);
        peer.reset();
        // Times vary; so does the date the check points were compiled.
        Lines records = WithoutDates(result.records);
        for (std::string& record : records)
        {
            record = std::regex_replace(record, std::regex("[0-9]+(\\.[0-9])? ms"), "T ms");
            record =
                std::regex_replace(record, std::regex("(not used: .*LastError )[0-9]+"), "$1N");
        }
        EXPECT_EQ(c.records, records);
        // The folder's one file: a header, then the same records, each after
        // its wall-clock time.
        std::string expected;
        for (const std::string& record : result.records)
            expected += "T " + record + (record.back() == '\n' ? "" : "\n");
        const auto files = ExplainFiles(ReadFolder(folder));
        ASSERT_EQ(c.value == folder ? 1u : 0u, files.size());
        if (c.value == folder)
        {
            const std::regex header("^Ostrelin 1\\.0\\.0\\.0, process [0-9]+\n"
                                    "launcher: [^\n]*\\\\Ostrelin\\.exe\n"
                                    "command line: \"[^\n]*\\\\Ostrelin\\.exe\"\n"
                                    "current folder: [A-Z]:\\\\[^\n]*\n"
                                    "ANSI code page: [0-9]+\n"
                                    "system: Windows [0-9]+\\.[0-9]+\\.[0-9]+ [^\n]*\n");
            const std::regex time(
                "(^|\n)[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ");
            const std::string& copied = files.begin()->second;
            std::smatch match;
            ASSERT_TRUE(std::regex_search(copied, match, header)) << copied;
            EXPECT_EQ(expected, std::regex_replace(match.suffix().str(), time, "$1T "));
        }
        TakeLog();
    }
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, goneKey.c_str());

    // A task that asks for reload every time: noted once, past 1,000 passes.
    inst.WriteConfig(Config(Task("ReloadCount='1001'")));
    const CSessionResult result = inst.Run("", Explained());
    EXPECT_EQ(0u, result.exitCode);
    Lines noted;
    for (const std::string& record : result.records)
    {
        if (record.find("passes") != std::string::npos)
            noted.push_back(record);
    }
    EXPECT_EQ(Lines({X("pass 1001: this start has made more than 1000 passes: a task asks for "
                       "reload every time")}),
              noted);
    TakeLog();
}

// A task DLL that is there but does not load: the explained record and check
// say why, from its headers; a REG_SZ server path is taken as it stands.
TEST(RealInstallation, UnloadableTaskDllsAreNamedByTheExplainedRunAndCheck)
{
    CInstallation inst("unloadable");
    const std::string bin = inst.BinFolder() + "\\", built = GetBinFolder();
    // The headers of a DLL of the other bitness, all that is read of it.
    const bool fOther64 = sizeof(void*) == 4;
    IMAGE_FILE_HEADER file = {};
    file.Machine = fOther64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    file.SizeOfOptionalHeader =
        fOther64 ? sizeof(IMAGE_OPTIONAL_HEADER64) : sizeof(IMAGE_OPTIONAL_HEADER32);
    file.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL;
    const WORD magic = fOther64 ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    std::string other = "MZ" + std::string(0x3A, '\0') + "\x40" + std::string(3, '\0') + "PE" +
                        std::string(2, '\0') +
                        std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
                        std::string(reinterpret_cast<const char*>(&magic), 2);
    other.resize(0x400);
    std::ofstream(bin + "Other.dll", std::ios::binary) << other;
    std::ofstream(bin + "Text.dll") << "not a program";
    ASSERT_TRUE(::CreateDirectoryA((bin + "Folder.dll").c_str(), nullptr));
    const std::string bits = fOther64 ? "a 64-bit DLL; this launcher is 32-bit"
                                      : "a 32-bit DLL; this launcher is 64-bit";
    const struct
    {
        std::string server; // registered REG_SZ
        std::string why;    // as the explained record says it
    } cases[] = {
        {bin + "Other.dll", bits},
        // Its first import is an API set, which is no file.
        {built + "OstrelinMissingDllTask.dll",
         "it imports OstrelinMissing.dll, which is not found; looked for in its folder " +
             built.substr(0, built.size() - 1) + ", the system folder "},
        {built + "OstrelinChainedTask.dll",
         "it imports OstrelinMissingDllTask.dll (" + built +
             "OstrelinMissingDllTask.dll): it imports OstrelinMissing.dll, which is not found"},
        {built + "OstrelinMissingFunctionTask.dll",
         "it imports OstrelinImported from kernel32.dll ("},
        {bin + "Text.dll", "not a DLL: the file has no program headers"},
        {built + "ostrelin-config.exe", "not a DLL: a program"},
        {bin + "Folder.dll", "a folder, not a DLL"},
        // COM expands no variable in a REG_SZ value.
        {"%SystemRoot%\\system32\\ole32.dll", "no such file"},
    };
    inst.WriteConfig(Config("<Gone CLSID='" + std::string(szMissingClsid) + "'/>"));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.server);
        const std::string key = RegisterInprocServer(szMissingClsid, c.server, REG_SZ);
        const CSessionResult result = inst.Run("", Explained());
        EXPECT_EQ(0u, result.exitCode);
        const std::string records = Joined(result.records);
        EXPECT_TRUE(ShowsInOrder(
            records, {"<Gone> CLSID=\"" + std::string(szMissingClsid) + "\": cannot be created (0x",
                      "registry view: InprocServer32 \"" + c.server + "\", " + c.why}));
        const CToolRun check = RunTool("ostrelin-config.exe", "check " + bin + "Config.xml");
        const bool fMissing = c.why == "no such file";
        const std::string why =
            std::regex_replace(c.why, std::regex("this launcher"), "the launcher");
        EXPECT_TRUE(ShowsInOrder(check.output, {"registered in-process: " + c.server +
                                                    (fMissing ? ", which does not exist: skipped\n"
                                                              : ": cannot be created (0x"),
                                                fMissing ? "" : "): " + why}));
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    }
}

namespace
{
void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
} // namespace

// A record between a failing call and its check point must not change the
// last error that the check point reports (OutputDebugStringA changes it).
// (An explain folder in this process would outlive the test.)
TEST(RealInstallation, ExplainedRecordsKeepTheLastErrorForTheNextCheckPoint)
{
    const struct
    {
        std::string value; // of OSTRELIN_EXPLAIN read before the row; "": read before
        bool fTraceText;   // the record: TraceText's, else Explain's
    } cases[] = {{"1", false}, {"", true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value + (c.fTraceText ? " TraceText" : " Explain"));
        if (!c.value.empty())
        {
            ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", c.value.c_str());
            StartExplainedRun();
            ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
        }
        ASSERT_TRUE(IsExplaining());
        DWORD dwReported = 0;
        try
        {
            ::SetLastError(ERROR_SHARING_VIOLATION);
            c.fTraceText ? TraceText("a record\n") : Explain("a record");
            CHECK_WIN32(false);
        }
        catch (const CWin32Error& error)
        {
            dwReported = error.GetCode();
        }
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), dwReported);
    }
}

// Whatever the value names, the launcher opens no existing file for writing
// and reads nothing there: the installation keeps every file byte for byte.
TEST(RealInstallation, ExplainFolderNeverHarmsTheInstallation)
{
    CInstallation inst("explainfolder");
    const std::string temp = GetTestTempFolder(), bin = inst.BinFolder();
    const std::string update = inst.Root() + "\\update", start = temp + "start";
    const std::string pipe =
        "\\\\.\\pipe\\ostrelin-silent-" + std::to_string(::GetCurrentProcessId());
    // A server that never writes: a read of the pipe would block for good.
    const CUniqueFileHandle hPipe(
        ::CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, 0, 1, 0, 0, 0, nullptr));
    ASSERT_TRUE(hPipe);
    const std::string staged = Config(Task("Pin='0'"));
    const std::string apply = "<Apply CLSID='{D3F6EF44-2AD0-48D5-9F66-ECCF3BCAD858}' "
                              "Staging='..\\update'/>";
    const std::string file = "it is a file", device = "it names a device or a pipe";
    // Each row: the value, the configuration, why the folder is not used ("":
    // a file is made) and where the file lands.
    const struct
    {
        std::string value, config, reason, lands;
    } cases[] = {
        // The staged update: Apply still moves it in, as without the variable.
        {update + "\\Config.xml", Config(apply + Task()), file, ""},
        {inst.ConfigPath(), Config(), file, ""},
        {bin, Config(), "", bin},
        // From the current folder at start-up, whatever a task then changes.
        {"logs\\.", Config(Task("CurrentFolder='" + bin + "'")), "", start + "\\logs"},
        {temp + "made\\for\\logs", Config(), "", temp + "made\\for\\logs"},
        {"COM1", Config(), device, ""},
        {"NUL", Config(), device, ""},
        {pipe, Config(), device, ""},
    };
    ::CreateDirectoryA(start.c_str(), nullptr);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        inst.WriteConfig(c.config);
        ::CreateDirectoryA(update.c_str(), nullptr);
        WriteBytes(update + "\\Config.xml", staged);
        auto expected = ReadFolder(bin);
        if (c.config.find(apply) != std::string::npos)
            expected["Config.xml"] = staged;
        expected = Digest(expected);
        CRunOptions options;
        options.environment = {"OSTRELIN_EXPLAIN=" + c.value};
        options.workingDirectory = start;
        const CSessionResult result = inst.Run("", options);
        EXPECT_EQ(0u, result.exitCode);
        ASSERT_FALSE(result.records.empty());
        if (c.reason.empty())
            EXPECT_EQ("Ostrelin: guard: update probe: no update running\n", result.records[0]);
        else
            EXPECT_TRUE(ShowsInOrder(
                result.records[0], {"Ostrelin: explain folder \"", "\" is not used: " + c.reason}));
        if (!c.lands.empty())
        {
            EXPECT_EQ(1u, ExplainFiles(ReadFolder(c.lands)).size());
        }
        auto after = ReadFolder(bin);
        EXPECT_EQ(c.lands == bin ? 1u : 0u, ExplainFiles(after).size());
        for (const auto& file : ExplainFiles(after))
        {
            after.erase(file.first);
            ::DeleteFileA((bin + "\\" + file.first).c_str());
        }
        EXPECT_EQ(expected, Digest(after));
        EXPECT_EQ(Lines({"init A", "run A"}), TakeLog());
        // The next plain start finds its configuration.
        EXPECT_EQ(0u, inst.Run().exitCode);
        TakeLog();
        RemoveFolder(start + "\\logs");
    }
}

// The folder keeps the files of the newest 20 starts, a minidump with its
// file, and nothing else is touched; copies started together each have their
// own complete file.
TEST(RealInstallation, ExplainFolderKeepsTheNewestStartsAndAFileForEachCopy)
{
    CInstallation inst("kept");
    const std::string folder = GetTestTempFolder() + "kept-logs";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    // 24 earlier starts, the 19 made last of which stay beside this one. Their
    // names lie (a clock set back, a time zone crossed westward): the order is
    // the file system's, and this start's own file stays.
    std::map<std::string, std::string> expected;
    for (int i = 1; i <= 24; ++i)
    {
        const std::string stem = "Ostrelin-20990101-0000" + std::string(i < 10 ? "0" : "") +
                                 std::to_string(i) + "-" + std::to_string(100 - i);
        WriteBytes(folder + "\\" + stem + ".txt", stem);
        if (i > 5)
            expected[stem + ".txt"] = stem;
        if (i == 1 || i == 24)
            WriteBytes(folder + "\\" + stem + ".dmp", "dump");
    }
    expected["Ostrelin-20990101-000024-76.dmp"] = "dump";
    // A link of a start file's name to a file outside: that file stays.
    const std::string outside = GetTestTempFolder() + "outside.txt";
    WriteBytes(outside, "outside");
    const bool fLinked =
        ::CreateSymbolicLinkA((folder + "\\Ostrelin-19990101-000000-3.txt").c_str(),
                              outside.c_str(), 0x2 /* unprivileged */) != FALSE;
    if (!fLinked)
        std::printf("no link made here (LastError %lu)\n", ::GetLastError());
    for (const char* pszOther :
         {"notes.txt", "Ostrelin-x.txt", "Ostrelin-19990101-000000-1.log", "ostrelin-trace.txt"})
    {
        WriteBytes(folder + "\\" + pszOther, pszOther);
        expected[pszOther] = pszOther;
    }
    ::CreateDirectoryA((folder + "\\Ostrelin-19990101-000000-2.txt").c_str(), nullptr);
    expected["Ostrelin-19990101-000000-2.txt"] = "<folder>";
    inst.WriteConfig(Config());
    EXPECT_EQ(0u, inst.RunAsAtLogon(folder));
    auto entries = ReadFolder(folder);
    entries.erase("Ostrelin-19990101-000000-3.txt"); // the link itself may go (Wine: it does)
    const auto files = ExplainFiles(entries);
    EXPECT_EQ(20u, files.size());
    std::string own;
    for (const auto& entry : entries)
    {
        if (entry.first.compare(0, 18, "Ostrelin-20990101-") != 0 &&
            entry.first.compare(0, 18, "Ostrelin-19990101-") != 0 && files.count(entry.first))
            own = entry.first;
    }
    entries.erase(own);
    EXPECT_EQ(expected, entries);
    EXPECT_EQ("outside", ReadBytes(WideFrom(outside, CP_ACP)));
    TakeLog();

    // A copy that runs, then 21 more at once that end with 3 while it runs:
    // their pruning finds its file the oldest of more than twenty, and leaves
    // it. Each file is whole. The task's debug-output record whose text
    // cannot be read is skipped.
    RemoveFolder(folder);
    const std::string event = "ostrelin-kept-" + std::to_string(::GetCurrentProcessId());
    const CUniqueHandle hEvent(::CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    inst.WriteConfig(Config(Task("WaitEvent='" + event + "' Crash='badprint'")));
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", folder.c_str());
    CChildProcess copies[22];
    ASSERT_TRUE(copies[0].Start(inst.CommandLine()));
    for (int i = 0; i < 2400 && ReadLog().empty(); ++i)
        ::Sleep(50);
    for (size_t i = 1; i < std::size(copies); ++i)
        ASSERT_TRUE(copies[i].Start(inst.CommandLine()));
    for (size_t i = 1; i < std::size(copies); ++i)
        ASSERT_TRUE(copies[i].WaitForExit(CRunOptions().timeoutMs));
    ::SetEvent(hEvent.Get());
    ASSERT_TRUE(copies[0].WaitForExit(CRunOptions().timeoutMs));
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
    std::multiset<std::string> ends;
    for (CChildProcess& copy : copies)
        ends.insert("Ostrelin: ends with exit code " + std::to_string(copy.ExitCode()) + "\n");
    EXPECT_EQ(1u, ends.count("Ostrelin: ends with exit code 0\n"));
    const auto kept = ExplainFiles(ReadFolder(folder));
    EXPECT_EQ(21u, kept.size());
    for (const auto& file : kept)
    {
        const std::string& text = file.second;
        EXPECT_TRUE(
            ShowsInOrder(text, {"Ostrelin 1.0.0.0, process ", "Ostrelin: guard: update probe"}));
        std::smatch end;
        ASSERT_TRUE(std::regex_search(text, end, std::regex("Ostrelin: ends with exit code .\n")))
            << text;
        const auto itEnd = ends.find(end.str());
        ASSERT_TRUE(itEnd != ends.end()) << text;
        ends.erase(itEnd);
    }
    EXPECT_EQ(0u, ends.count("Ostrelin: ends with exit code 0\n")) << "the running copy's file";
    TakeLog();

    RemoveFolder(folder);
}