// An installation laid out as on a user's machine, and runs of its launcher
// under a debug session; the wide forms create and start one under any name,
// of any length. A test that starts the launcher meets its fixed-name
// mutexes, one namespace per Wine prefix: RESOURCE_LOCK ostrelin_named_mutexes.
#pragma once

#include "DebugSession.h"

#include <functional>
#include <future>
#include <string>

// A configuration whose task list is empty: the run ends at once.
extern const char szEmptyRunConfig[];

struct CRunOptions
{
    bool dismissBoxes = true;             // the launcher's boxes would wait for a user
    DWORD timeoutMs = 120000;             // only against hangs; no test should come near it
    std::string workingDirectory;         // empty: the test's own
    std::vector<std::string> environment; // "NAME=value" added to the test's own
    std::function<void(const CTraceEvent&)> onEvent; // for a box: before it is dismissed
};

class CInstallation
{
public:
    // Lays out <temp>\ostrelin-e2e-<pid>\<name>\bin\Ostrelin.exe, copied from
    // the build's bin folder. Names must differ within one test.
    explicit CInstallation(const std::string& name);
    // The same through the wide forms, for any name and any length.
    explicit CInstallation(const std::wstring& name);
    ~CInstallation();
    CInstallation(const CInstallation&) = delete;
    CInstallation& operator=(const CInstallation&) = delete;

    const std::string& Root() const { return m_root; } // no trailing backslash
    std::string BinFolder() const { return m_root + "\\bin"; }
    std::string LauncherPath() const { return m_root + "\\bin\\Ostrelin.exe"; }
    std::string ConfigPath() const { return m_root + "\\bin\\Config.xml"; }

    // The wide forms; the narrow ones above are these in the ANSI code page.
    const std::wstring& RootW() const { return m_rootW; }
    std::wstring LauncherPathW() const { return m_rootW + L"\\bin\\Ostrelin.exe"; }
    std::wstring ConfigPathW() const { return m_rootW + L"\\bin\\Config.xml"; }
    std::wstring RootArgumentW() const { return L"%ResourceRoot%=\"" + m_rootW + L"\""; }
    std::wstring CommandLineW(const std::wstring& arguments) const;
    CSessionResult RunW(const std::wstring& arguments,
                        const CRunOptions& options = CRunOptions()) const;
    // A wide command line of the caller's own; applicationName, when given, is
    // the program file that a command line spelling it its own way starts.
    static CSessionResult RunCommandLineW(const std::wstring& commandLine,
                                          const CRunOptions& options = CRunOptions(),
                                          const std::wstring& applicationName = std::wstring());
    static std::future<CSessionResult>
    StartCommandLineW(const std::wstring& commandLine, const CRunOptions& options = CRunOptions(),
                      const std::wstring& applicationName = std::wstring());

    // Writes Config.xml with exactly these bytes (plain XML or scrambled).
    void WriteConfig(const std::string& bytes) const;
    void RemoveConfig() const;

    // %ResourceRoot%="<root>"
    std::string RootArgument() const;
    // The quoted launcher path, then a blank and arguments when there are any.
    std::string CommandLine(const std::string& arguments = std::string()) const;
    // The same with the launcher path in the 8.3 short form of every folder.
    std::string ShortCommandLine(const std::string& arguments = std::string()) const;
    // The instance mutex name of a launcher started with CommandLine(arguments).
    std::string InstanceKey(const std::string& arguments = std::string()) const;

    // Runs the launcher with CommandLine(arguments) and returns what it did.
    CSessionResult Run(const std::string& arguments = std::string(),
                       const CRunOptions& options = CRunOptions()) const;
    // The same with a command line of the caller's own.
    static CSessionResult RunCommandLine(const std::string& commandLine,
                                         const CRunOptions& options = CRunOptions());
    // Runs it in the background.
    std::future<CSessionResult> Start(const std::string& arguments = std::string(),
                                      const CRunOptions& options = CRunOptions()) const;
    // Started as at logon: no debugger, OSTRELIN_EXPLAIN=explain (unset when
    // empty); suspended
    // while beforeStart(its process id) runs. Its exit code, ~0 if it never ended.
    DWORD RunAsAtLogon(const std::string& explain,
                       const std::function<void(DWORD)>& beforeStart = nullptr) const;
    static DWORD RunCommandLineAsAtLogon(std::string commandLine, const std::string& explain,
                                         const std::function<void(DWORD)>& beforeStart = nullptr);

private:
    std::wstring m_rootW;
    std::string m_root;
};
