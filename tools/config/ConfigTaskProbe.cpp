#include "ConfigTaskProbe.h"

#include "ChildProcess.h"
#include "ComApartment.h"
#include "CoreInterfacePtr.h"
#include "ITask.h"
#include "TaskManifest.h"
#include "WideText.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

const DWORD nProbeTimeLimitMs = 20000;
const char szProbeCommand[] = "--create-task-in-child";

namespace
{
// The child's end of the answer pipe; inherited, and named on its command line.
HANDLE g_hAnswer = INVALID_HANDLE_VALUE;

// The answer goes out in one write, with nothing that may need the heap or
// the loader lock a crashing task may hold.
void WriteAnswer(const char* pszText)
{
    DWORD cbWritten = 0;
    ::WriteFile(g_hAnswer, pszText, static_cast<DWORD>(std::strlen(pszText)), &cbWritten, nullptr);
}

// A crash that nobody handles: its code and where, then the end, before the
// system's own crash dialog or debugger can keep the child waiting.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* pException)
{
    const EXCEPTION_RECORD& record = *pException->ExceptionRecord;
    char szModule[MAX_PATH] = "";
    HMODULE hModule = nullptr;
    char szText[MAX_PATH + 64];
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<LPCSTR>(record.ExceptionAddress), &hModule) &&
        ::GetModuleFileNameA(hModule, szModule, MAX_PATH) > 0)
    {
        const char* const pszSlash = std::strrchr(szModule, '\\');
        std::snprintf(szText, sizeof szText, "crash 0x%08lX in %s+0x%lX",
                      static_cast<unsigned long>(record.ExceptionCode),
                      pszSlash != nullptr ? pszSlash + 1 : szModule,
                      static_cast<unsigned long>(static_cast<BYTE*>(record.ExceptionAddress) -
                                                 reinterpret_cast<BYTE*>(hModule)));
    }
    else
        std::snprintf(szText, sizeof szText, "crash 0x%08lX at %p",
                      static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
    WriteAnswer(szText);
    ::TerminateProcess(::GetCurrentProcess(), record.ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool ParseAnswer(const std::string& strAnswer, CProbeResult& result)
{
    const char* const pszText = strAnswer.c_str();
    unsigned long nCode = 0;
    int fInterface = 0;
    char szModule[MAX_PATH] = {};
    int cchRead = 0;
    if (std::sscanf(pszText, "created 0x%lx %d%n", &nCode, &fInterface, &cchRead) == 2)
    {
        result.outcome = ProbeOutcome::Created;
        result.hr = static_cast<HRESULT>(nCode);
        result.fInterface = fInterface != 0;
        const char* const pszModule = pszText + cchRead + (pszText[cchRead] == ' ' ? 1 : 0);
        result.strModule.assign(pszModule, std::strcspn(pszModule, "\r\n"));
        return true;
    }
    if (std::sscanf(pszText, "crash 0x%lx %259[^\r\n]", &nCode, szModule) == 2)
    {
        result.outcome = ProbeOutcome::Crashed;
        result.dwCode = nCode;
        result.strWhere = szModule;
        return true;
    }
    return false;
}

// What the child wrote to the answer pipe before it ended. Only what is there:
// a process the task started may still hold the pipe's writing end.
std::string ReadAnswer(HANDLE hAnswer)
{
    char szAnswer[4096];
    DWORD cbAvailable = 0, cbRead = 0;
    if (!::PeekNamedPipe(hAnswer, nullptr, 0, nullptr, &cbAvailable, nullptr) || cbAvailable == 0 ||
        !::ReadFile(hAnswer, szAnswer, sizeof szAnswer - 1, &cbRead, nullptr))
        return std::string();
    return std::string(szAnswer, cbRead);
}

// A visible top-level window of the child's: a task that waits for the user.
struct CWindowSearch
{
    DWORD dwProcessId;
    std::string strCaption;
    bool fFound;
};

BOOL CALLBACK TakeWindowOf(HWND hWnd, LPARAM lParam)
{
    CWindowSearch& search = *reinterpret_cast<CWindowSearch*>(lParam);
    DWORD dwProcessId = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (dwProcessId != search.dwProcessId || !::IsWindowVisible(hWnd))
        return TRUE;
    wchar_t szCaption[256] = L"";
    ::GetWindowTextW(hWnd, szCaption, 256);
    search.strCaption = TextFrom(szCaption, CP_UTF8);
    search.fFound = true;
    return FALSE;
}

bool FindWindowOf(DWORD dwProcessId, std::string& strCaption)
{
    CWindowSearch search = {dwProcessId, std::string(), false};
    ::EnumWindows(TakeWindowOf, reinterpret_cast<LPARAM>(&search));
    strCaption = search.strCaption;
    return search.fFound;
}
} // namespace

CProbeResult ProbeTaskCreation(const CLSID& clsid, const wchar_t* pszManifest)
{
    CProbeResult result;
    wchar_t wszModule[MAX_PATH * 4] = {};
    const DWORD cchModule = ::GetModuleFileNameW(nullptr, wszModule, MAX_PATH * 4);
    wchar_t wszClsid[40] = {};
    ::StringFromGUID2(clsid, wszClsid, 40);
    // The answer pipe: the child inherits its writing end, this tool keeps the other.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    CUniqueHandle hAnswer, hChildAnswer;
    CChildProcess child;
    if (cchModule == 0 || cchModule >= MAX_PATH * 4 ||
        !::CreatePipe(hAnswer.AcceptHere(), hChildAnswer.AcceptHere(), &inherit, 4096) ||
        !::SetHandleInformation(hAnswer.Get(), HANDLE_FLAG_INHERIT, 0) ||
        !child.Start(
            L"\"" + std::wstring(wszModule) + L"\" " +
                std::wstring(szProbeCommand, szProbeCommand + sizeof szProbeCommand - 1) + L" " +
                wszClsid + L" " + std::to_wstring(reinterpret_cast<ULONG_PTR>(hChildAnswer.Get())) +
                (pszManifest != nullptr ? L" \"" + std::wstring(pszManifest) + L"\"" : L""),
            CChildProcess::PipeOutput | CChildProcess::PipeErrorToOutput))
    {
        result.dwCode = ::GetLastError();
        return result;
    }
    hChildAnswer.Close();
    // Read while waiting: a task that writes much must not stall on a full
    // pipe. What it writes is not the answer, and is dropped.
    std::string strOutput;
    const ULONGLONG nStart = ::GetTickCount64();
    while (!child.WaitForExit(50))
    {
        child.ReadAvailable(strOutput);
        strOutput.clear();
        const ULONGLONG nWaited = ::GetTickCount64() - nStart;
        std::string strCaption;
        const bool fWindow = nWaited > 500 && FindWindowOf(child.ProcessId(), strCaption);
        if (fWindow || nWaited > nProbeTimeLimitMs)
        {
            child.Terminate(ERROR_TIMEOUT);
            child.WaitForExit(INFINITE);
            result.outcome = fWindow ? ProbeOutcome::Waits : ProbeOutcome::Hung;
            result.strWhere = strCaption;
            return result;
        }
    }
    if (!ParseAnswer(ReadAnswer(hAnswer.Get()), result))
    {
        // No answer: the process ended in creation, by its own hand, or by a
        // crash that ended it before the report (a stack overflow may).
        result.dwCode = child.ExitCode();
        result.outcome =
            result.dwCode >= 0xC0000000u ? ProbeOutcome::Crashed : ProbeOutcome::Exited;
    }
    return result;
}

int RunTaskProbe(const wchar_t* pszClsid, const wchar_t* pszAnswer, const wchar_t* pszManifest)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    g_hAnswer =
        reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::wcstoull(pszAnswer, nullptr, 10)));
    // Not for the task's own child processes.
    ::SetHandleInformation(g_hAnswer, HANDLE_FLAG_INHERIT, 0);
    ::SetUnhandledExceptionFilter(ReportCrash);
    CLSID clsid = {};
    if (::CLSIDFromString(pszClsid, &clsid) != S_OK)
        return 1;
    const CComApartment apartment;
    CActivatedTaskManifest manifest;
    if (pszManifest != nullptr)
        manifest.Activate(pszManifest); // the parent reports a refusal
    CInterfacePtr<ITask> pifTask;
    const HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                                          reinterpret_cast<void**>(pifTask.AcceptHere()));
    // The DLL that serves the object: the module its interface table lies in.
    wchar_t szModule[MAX_PATH] = L"";
    HMODULE hModule = nullptr;
    if (pifTask && ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                            GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                        *reinterpret_cast<LPCWSTR*>(pifTask.pif()), &hModule))
        ::GetModuleFileNameW(hModule, szModule, MAX_PATH);
    char szText[64 + MAX_PATH * 3];
    std::snprintf(szText, sizeof szText, "created 0x%08lX %d %s", static_cast<unsigned long>(hr),
                  pifTask ? 1 : 0, TextFrom(szModule, CP_UTF8).c_str());
    WriteAnswer(szText);
    // The task's own release and unloading are the launcher's later steps, not creation's.
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return 0;
}
