#include "DebugSession.h"

#include "CoreHandle.h"
#include "DebuggeeMemory.h"
#include "MessageBoxFinder.h"

#include <algorithm>
#include <utility>

namespace
{
const DWORD nEventWaitMs = 20;        // how long the loop waits for the next event
const DWORD nBoxCheckIntervalMs = 50; // look for boxes at least this often
const DWORD nExitWaitMs = 10000;      // after a time-out, for the program to be gone
const DWORD nTimedOutExitCode = WAIT_TIMEOUT;
// The initial breakpoint of a 32-bit program seen by a 64-bit debugger.
const DWORD dwWx86Breakpoint = 0x4000001F;

std::wstring WideFromAnsi(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int cb = static_cast<int>(text.size());
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, text.data(), cb, nullptr, 0);
    std::wstring wide(static_cast<size_t>(cch), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), cb, &wide[0], cch);
    return wide;
}

std::vector<char> MakeEnvironmentBlock(const std::vector<std::string>& entries)
{
    std::vector<char> block;
    for (const std::string& entry : entries)
    {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back('\0');
    }
    if (block.empty())
        block.push_back('\0');
    block.push_back('\0');
    return block;
}
} // namespace

std::vector<std::string> GetCurrentEnvironment()
{
    std::vector<std::string> entries;
    char* pszBlock = ::GetEnvironmentStringsA();
    if (pszBlock == nullptr)
        return entries;
    for (const char* psz = pszBlock; *psz != '\0'; psz += entries.back().size() + 1)
        entries.emplace_back(psz);
    ::FreeEnvironmentStringsA(pszBlock);
    return entries;
}

CDebugSession::CDebugSession(CSessionOptions options) : m_options(std::move(options)) {}

CDebugSession::~CDebugSession()
{
    if (m_process.hProcess == nullptr)
        return;
    // Left early (an exception from a callback): the program must not outlive us.
    if (!m_exited)
    {
        ::TerminateProcess(m_process.hProcess, nTimedOutExitCode);
        ::DebugActiveProcessStop(m_process.dwProcessId);
    }
    CUniqueHandle(m_process.hThread).Close();
    CUniqueHandle(m_process.hProcess).Close();
}

CSessionResult CDebugSession::Run()
{
    m_startTick = ::GetTickCount();
    if (!Start())
        return m_result;
    if (m_options.onStarted)
        m_options.onStarted(m_process.hProcess);
    Loop();
    m_result.elapsedMs = Elapsed();
    return m_result;
}

bool CDebugSession::Start()
{
    // Wide, so that programs in folders that the ANSI code page cannot spell
    // start too; CreateProcessW may write into the command line.
    std::wstring wideLine = m_options.wideCommandLine.empty() ? WideFromAnsi(m_options.commandLine)
                                                              : m_options.wideCommandLine;
    std::vector<wchar_t> commandLine(wideLine.begin(), wideLine.end());
    commandLine.push_back(L'\0');
    const std::wstring workingDirectory = WideFromAnsi(m_options.workingDirectory);
    std::vector<char> environment;
    if (m_options.environment)
        environment = MakeEnvironmentBlock(*m_options.environment);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!::CreateProcessW(
            m_options.applicationName.empty() ? nullptr : m_options.applicationName.c_str(),
            commandLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
            environment.empty() ? nullptr : environment.data(),
            workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &m_process))
    {
        m_result.outcome = SessionOutcome::StartFailed;
        m_result.startError = ::GetLastError();
        m_process = {};
        return false;
    }
    return true;
}

void CDebugSession::Loop()
{
    while (!m_exited)
    {
        DEBUG_EVENT event = {};
        if (::WaitForDebugEvent(&event, nEventWaitMs))
        {
            const DWORD dwContinue = OnDebugEvent(event);
            ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, dwContinue);
            if (m_exited)
                break;
        }
        else if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0)
        {
            // Gone without an exit event: the debugging itself broke off.
            ::GetExitCodeProcess(m_process.hProcess, &m_result.exitCode);
            m_exited = true;
            break;
        }

        // A box blocks its thread, so it shows as a pause between events.
        if (Elapsed() - m_lastBoxCheckMs >= nBoxCheckIntervalMs)
            LookForBoxes();
        if (m_options.timeoutMs != INFINITE && Elapsed() >= m_options.timeoutMs)
        {
            EndAtTimeout();
            return;
        }
    }
    m_result.outcome = SessionOutcome::Exited;
}

DWORD CDebugSession::OnDebugEvent(const DEBUG_EVENT& event)
{
    switch (event.dwDebugEventCode)
    {
    case CREATE_PROCESS_DEBUG_EVENT:
        // The image file handle is ours to close; process and thread are not.
        CUniqueHandle(event.u.CreateProcessInfo.hFile).Close();
        break;
    case LOAD_DLL_DEBUG_EVENT:
        CUniqueHandle(event.u.LoadDll.hFile).Close();
        break;
    case OUTPUT_DEBUG_STRING_EVENT:
    {
        const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
        CTraceEvent record;
        record.kind = TraceEventKind::Record;
        record.text = info.fUnicode
                          ? ReadDebuggeeWideText(m_process.hProcess, info.lpDebugStringData)
                          : ReadDebuggeeText(m_process.hProcess, info.lpDebugStringData);
        Report(std::move(record));
        break;
    }
    case EXCEPTION_DEBUG_EVENT:
        return OnException(event.u.Exception);
    case EXIT_PROCESS_DEBUG_EVENT:
        m_result.exitCode = event.u.ExitProcess.dwExitCode;
        m_exited = true;
        break;
    default:
        break;
    }
    return DBG_CONTINUE;
}

DWORD CDebugSession::OnException(const EXCEPTION_DEBUG_INFO& info)
{
    const EXCEPTION_RECORD& record = info.ExceptionRecord;
    // The system's breakpoint when the program is attached; everything
    // after it belongs to the program and its own handlers.
    if (!m_sawInitialBreakpoint &&
        (record.ExceptionCode == EXCEPTION_BREAKPOINT || record.ExceptionCode == dwWx86Breakpoint))
    {
        m_sawInitialBreakpoint = true;
        return DBG_CONTINUE;
    }
    if (!info.dwFirstChance)
    {
        CTraceEvent crash;
        crash.kind = TraceEventKind::Crash;
        crash.exceptionCode = record.ExceptionCode;
        crash.address = record.ExceptionAddress;
        Report(std::move(crash));
    }
    return DBG_EXCEPTION_NOT_HANDLED;
}

void CDebugSession::LookForBoxes()
{
    m_lastBoxCheckMs = Elapsed();
    const std::vector<CMessageBoxWindow> boxes = FindMessageBoxes(m_process.dwProcessId);

    // Forget closed boxes, so that a later box in the same window counts anew.
    m_boxesShown.erase(std::remove_if(m_boxesShown.begin(), m_boxesShown.end(),
                                      [&boxes](HWND hwnd)
                                      {
                                          return std::none_of(boxes.begin(), boxes.end(),
                                                              [hwnd](const CMessageBoxWindow& box)
                                                              { return box.hwnd == hwnd; });
                                      }),
                       m_boxesShown.end());

    for (const CMessageBoxWindow& box : boxes)
    {
        if (std::find(m_boxesShown.begin(), m_boxesShown.end(), box.hwnd) != m_boxesShown.end())
            continue;
        m_boxesShown.push_back(box.hwnd);

        CTraceEvent seen;
        seen.kind = TraceEventKind::MessageBox;
        seen.caption = box.caption;
        seen.text = box.text;
        seen.dismissed = m_options.dismissBoxes && box.hasOkButton;
        Report(seen);
        if (seen.dismissed && !PressOk(box.hwnd))
        {
            m_result.events.back().dismissed = false;
            m_result.boxes.back().dismissed = false;
        }
    }
}

void CDebugSession::EndAtTimeout()
{
    m_result.outcome = SessionOutcome::TimedOut;
    ::TerminateProcess(m_process.hProcess, nTimedOutExitCode);

    // Follow the program to its exit event, so that it is gone on return.
    const DWORD nStart = ::GetTickCount();
    while (!m_exited && ::GetTickCount() - nStart < nExitWaitMs)
    {
        DEBUG_EVENT event = {};
        if (::WaitForDebugEvent(&event, nEventWaitMs))
            ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, OnDebugEvent(event));
    }
}

void CDebugSession::Report(CTraceEvent event)
{
    event.elapsedMs = Elapsed();
    if (m_options.onEvent)
        m_options.onEvent(event);
    if (event.kind == TraceEventKind::Record)
        m_result.records.push_back(event.text);
    else if (event.kind == TraceEventKind::MessageBox)
        m_result.boxes.push_back({event.caption, event.text, event.dismissed});
    m_result.events.push_back(std::move(event));
}

DWORD CDebugSession::Elapsed() const
{
    return ::GetTickCount() - m_startTick;
}
