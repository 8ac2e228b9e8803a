#include "Installation.h"

#include "E2EPaths.h"
#include "LaunchPaths.h"

#include <fstream>
#include <stdexcept>

const char szEmptyRunConfig[] = "<?xml version=\"1.0\"?>\r\n<Config>\r\n  <Run/>\r\n</Config>\r\n";

CInstallation::CInstallation(const std::string& name) : m_root(GetTestTempFolder() + name)
{
    const std::string source = GetBinFolder() + "Ostrelin.exe";
    if (!::CreateDirectoryA(m_root.c_str(), nullptr) ||
        !::CreateDirectoryA(BinFolder().c_str(), nullptr) ||
        !::CopyFileA(source.c_str(), LauncherPath().c_str(), TRUE))
        throw std::runtime_error("cannot lay out the installation " + m_root);
}

CInstallation::~CInstallation()
{
    RemoveFolder(m_root);
}

void CInstallation::WriteConfig(const std::string& bytes) const
{
    if (!(std::ofstream(ConfigPath(), std::ios::binary | std::ios::trunc) << bytes))
        throw std::runtime_error("cannot write " + ConfigPath());
}

void CInstallation::RemoveConfig() const
{
    ::DeleteFileA(ConfigPath().c_str());
}

std::string CInstallation::RootArgument() const
{
    return "%ResourceRoot%=\"" + m_root + "\"";
}

std::string CInstallation::CommandLine(const std::string& arguments) const
{
    return "\"" + LauncherPath() + "\"" + (arguments.empty() ? "" : " " + arguments);
}

std::string CInstallation::ShortCommandLine(const std::string& arguments) const
{
    char szShort[MAX_PATH * 4] = "";
    const DWORD cch = ::GetShortPathNameA(LauncherPath().c_str(), szShort, sizeof(szShort));
    if (cch == 0 || cch >= sizeof(szShort))
        throw std::runtime_error("no short path for " + LauncherPath());
    return "\"" + std::string(szShort, cch) + "\"" + (arguments.empty() ? "" : " " + arguments);
}

std::string CInstallation::InstanceKey(const std::string& arguments) const
{
    return MakeInstanceKey(CommandLine(arguments).c_str()).GetString();
}

CSessionResult CInstallation::Run(const std::string& arguments, const CRunOptions& options) const
{
    return RunCommandLine(CommandLine(arguments), options);
}

CSessionResult CInstallation::RunCommandLine(const std::string& commandLine,
                                             const CRunOptions& options)
{
    CSessionOptions session;
    session.commandLine = commandLine;
    session.workingDirectory = options.workingDirectory;
    session.dismissBoxes = options.dismissBoxes;
    session.timeoutMs = options.timeoutMs;
    session.onEvent = options.onEvent;
    return CDebugSession(session).Run();
}

std::future<CSessionResult> CInstallation::Start(const std::string& arguments,
                                                 const CRunOptions& options) const
{
    // The session runs wholly on the new thread: a debugger's events go to
    // the thread that started the program.
    const std::string commandLine = CommandLine(arguments);
    return std::async(std::launch::async,
                      [commandLine, options] { return RunCommandLine(commandLine, options); });
}
