// An installation laid out as on a user's machine, and runs of its launcher
// under a debug session. A test that starts the launcher meets its fixed-name
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
    bool dismissBoxes = true;     // the launcher's boxes would wait for a user
    DWORD timeoutMs = 120000;     // only against hangs; no test should come near it
    std::string workingDirectory; // empty: the test's own
    std::function<void(const CTraceEvent&)> onEvent; // for a box: before it is dismissed
};

class CInstallation
{
public:
    // <temp folder of the test>\<name>\bin\Ostrelin.exe, copied from bin.
    explicit CInstallation(const std::string& name);
    ~CInstallation();
    CInstallation(const CInstallation&) = delete;
    CInstallation& operator=(const CInstallation&) = delete;

    const std::string& Root() const { return m_root; } // no trailing backslash
    std::string BinFolder() const { return m_root + "\\bin"; }
    std::string LauncherPath() const { return m_root + "\\bin\\Ostrelin.exe"; }
    std::string ConfigPath() const { return m_root + "\\bin\\Config.xml"; }

    // Writes Config.xml with exactly these bytes (plain XML or scrambled).
    void WriteConfig(const std::string& bytes) const;
    void RemoveConfig() const;

    // %ResourceRoot%="<root>"; the quoted launcher path, then the arguments;
    // the same with the path in the 8.3 short form; the instance mutex name.
    std::string RootArgument() const;
    std::string CommandLine(const std::string& arguments = std::string()) const;
    std::string ShortCommandLine(const std::string& arguments = std::string()) const;
    std::string InstanceKey(const std::string& arguments = std::string()) const;

    // Runs the launcher with CommandLine(arguments), or a command line of the
    // caller's own, and returns what it did; or runs it in the background.
    CSessionResult Run(const std::string& arguments = std::string(),
                       const CRunOptions& options = CRunOptions()) const;
    static CSessionResult RunCommandLine(const std::string& commandLine,
                                         const CRunOptions& options = CRunOptions());
    std::future<CSessionResult> Start(const std::string& arguments = std::string(),
                                      const CRunOptions& options = CRunOptions()) const;

private:
    std::string m_root;
};
