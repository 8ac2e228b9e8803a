#include "Installation.h"

#include "CoreHandle.h"
#include "WideText.h"

#include "E2EPaths.h"
#include "LaunchPaths.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

const char szEmptyRunConfig[] = "<?xml version=\"1.0\"?>\r\n<Config>\r\n  <Run/>\r\n</Config>\r\n";

namespace
{
CSessionOptions MakeSessionOptions(const std::string& commandLine, const CRunOptions& options)
{
    CSessionOptions session;
    session.commandLine = commandLine;
    session.workingDirectory = options.workingDirectory;
    session.dismissBoxes = options.dismissBoxes;
    session.timeoutMs = options.timeoutMs;
    session.onEvent = options.onEvent;
    if (!options.environment.empty())
    {
        session.environment = GetCurrentEnvironment();
        session.environment->insert(session.environment->end(), options.environment.begin(),
                                    options.environment.end());
    }
    return session;
}

// Any length: the \\?\ form of a full path.
std::wstring Long(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}
} // namespace

CInstallation::CInstallation(const std::string& name) : CInstallation(WideFrom(name, CP_ACP)) {}

CInstallation::CInstallation(const std::wstring& name)
    : m_rootW(WideFrom(GetTestTempFolder(), CP_ACP) + name), m_root(TextFrom(m_rootW, CP_ACP))
{
    // Each folder of the name (it may hold several), then bin.
    for (size_t iEnd = m_rootW.find(L'\\', m_rootW.size() - name.size());;
         iEnd = m_rootW.find(L'\\', iEnd + 1))
    {
        const bool fCreated =
            ::CreateDirectoryW(Long(m_rootW.substr(0, iEnd)).c_str(), nullptr) ||
            (iEnd != std::wstring::npos && ::GetLastError() == ERROR_ALREADY_EXISTS);
        if (!fCreated)
            throw std::runtime_error("cannot create the installation " + m_root);
        if (iEnd == std::wstring::npos)
            break;
    }
    if (!::CreateDirectoryW(Long(m_rootW + L"\\bin").c_str(), nullptr))
        throw std::runtime_error("cannot create the installation " + m_root);
    const std::wstring source = WideFrom(GetBinFolder(), CP_ACP) + L"Ostrelin.exe";
    if (!::CopyFileW(source.c_str(), Long(LauncherPathW()).c_str(), TRUE))
        throw std::runtime_error("cannot copy the launcher to " + LauncherPath());
}

CInstallation::~CInstallation()
{
    // The first folder of the name holds the others.
    const size_t iName = WideFrom(GetTestTempFolder(), CP_ACP).size();
    RemoveFolder(m_rootW.substr(0, m_rootW.find(L'\\', iName)));
}

void CInstallation::WriteConfig(const std::string& bytes) const
{
    std::ofstream file(std::filesystem::path(Long(ConfigPathW())),
                       std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush())
        throw std::runtime_error("cannot write " + ConfigPath());
}

void CInstallation::RemoveConfig() const
{
    ::DeleteFileW(Long(ConfigPathW()).c_str());
}

std::wstring CInstallation::CommandLineW(const std::wstring& arguments) const
{
    return L"\"" + LauncherPathW() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
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
    CDebugSession session(MakeSessionOptions(commandLine, options));
    return session.Run();
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

CSessionResult CInstallation::RunW(const std::wstring& arguments, const CRunOptions& options) const
{
    return RunCommandLineW(CommandLineW(arguments), options);
}

CSessionResult CInstallation::RunCommandLineW(const std::wstring& commandLine,
                                              const CRunOptions& options,
                                              const std::wstring& applicationName)
{
    return StartCommandLineW(commandLine, options, applicationName).get();
}

std::future<CSessionResult> CInstallation::StartCommandLineW(const std::wstring& commandLine,
                                                             const CRunOptions& options,
                                                             const std::wstring& applicationName)
{
    CSessionOptions session = MakeSessionOptions(std::string(), options);
    session.wideCommandLine = commandLine;
    session.applicationName = applicationName;
    return std::async(std::launch::async, [session] { return CDebugSession(session).Run(); });
}

DWORD CInstallation::RunAsAtLogon(const std::string& explain,
                                  const std::function<void(DWORD)>& beforeStart) const
{
    return RunCommandLineAsAtLogon(CommandLine(), explain, beforeStart);
}

DWORD CInstallation::RunCommandLineAsAtLogon(std::string commandLine, const std::string& explain,
                                             const std::function<void(DWORD)>& beforeStart)
{
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", explain.empty() ? nullptr : explain.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL fStarted = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                           CREATE_SUSPENDED, nullptr, nullptr, &startup, &process);
    ::SetEnvironmentVariableA("OSTRELIN_EXPLAIN", nullptr);
    if (!fStarted)
        return ~0u;
    const CUniqueHandle hProcess(process.hProcess), hThread(process.hThread);
    if (beforeStart)
        beforeStart(process.dwProcessId);
    ::ResumeThread(hThread.Get());
    // Only against a hang: a first minidump under emulation takes minutes. A
    // copy that hangs goes, or it would hold the installation for later rows.
    DWORD dwExitCode = ~0u;
    if (::WaitForSingleObject(hProcess.Get(), 600000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(hProcess.Get(), &dwExitCode);
    else
        ::TerminateProcess(hProcess.Get(), ERROR_TIMEOUT);
    return dwExitCode;
}
