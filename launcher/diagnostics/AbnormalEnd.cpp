#include "AbnormalEnd.h"

#include "CoreError.h"
#include "CoreTrace.h"
#include "CrashContext.h"
#include "CrashDump.h"
#include "Explain.h"
#include "ExplainFolder.h"

#include <csignal>
#include <cstdlib>
#include <exception>

namespace
{
// A record's room; a longer one is cut.
const size_t cchRecord = 2048;

// The exit code of these ends; the error end's until the launcher names it.
UINT g_uExitCode = 4;

// "; while running child 2 of 3 <Crash> CLSID=\"{...}\"", or nothing. Only
// when explaining: the default records stay as they were.
const char* FormatContext(char* pszBuffer, size_t cchBuffer)
{
    pszBuffer[0] = '\0';
    const char* const pszContext = GetCrashContext();
    if (IsExplaining() && pszContext[0] != '\0')
        FormatFixedText(pszBuffer, cchBuffer, "; while running %s", pszContext);
    return pszBuffer;
}

// Abrupt on purpose: after abort() or terminate nothing else of the process
// can be trusted to run, not even its DLLs' detach code.
[[noreturn]] void EndAbnormally(const char* pszRecord)
{
    UseExplainReserve();
    TraceText(pszRecord);
    ::TerminateProcess(::GetCurrentProcess(), g_uExitCode);
    ::ExitProcess(g_uExitCode); // not reached
}

void OnAbortSignal(int)
{
    char szContext[600], szRecord[cchRecord];
    FormatFixedText(szRecord, sizeof(szRecord),
                    "---->\tabort() called: a task aborted, or a C++ exception left a task%s\n",
                    FormatContext(szContext, sizeof(szContext)));
    EndAbnormally(szRecord);
}

void OnTerminate()
{
    char szWhat[1024] = "no exception", szContext[600], szRecord[cchRecord];
    if (std::current_exception())
        DescribeCurrentException(szWhat, sizeof(szWhat));
    FormatFixedText(szRecord, sizeof(szRecord), "---->\tstd::terminate() called: %s%s\n", szWhat,
                    FormatContext(szContext, sizeof(szContext)));
    EndAbnormally(szRecord);
}

// A crash: an exception that no handler took. The system would start its
// crash handler and wait for a user, who is not there at logon.
LONG g_fCrashing = 0;
DWORD g_dwReporterThread = 0;
// Only against a report that cannot go on (a crash inside the loader, whose
// lock the report's thread then waits for): a first minidump on a slow or
// emulated machine takes tens of seconds.
const DWORD nReportTimeoutMs = 120000;
// Room for the crash handler on a stack that overflowed.
const ULONG cbStackGuarantee = 64 * 1024;

struct CCrash
{
    EXCEPTION_POINTERS* pException;
    DWORD dwThreadId;
};

const int cchAddress = 2 * sizeof(void*); // hex digits of an address

// " (access violation writing 0x00000000)", " (stack overflow)", or nothing.
void NameException(const EXCEPTION_RECORD& record, char* pszName, size_t cchName)
{
    pszName[0] = '\0';
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2)
    {
        const ULONG_PTR nAccess = record.ExceptionInformation[0];
        FormatFixedText(pszName, cchName, " (access violation %s 0x%0*IX)",
                        nAccess == 0   ? "reading"
                        : nAccess == 8 ? "executing"
                                       : "writing",
                        cchAddress, record.ExceptionInformation[1]);
        return;
    }
    const struct
    {
        DWORD dwCode;
        const char* pszName;
    } names[] = {
        {EXCEPTION_ACCESS_VIOLATION, "access violation"},
        {EXCEPTION_INT_DIVIDE_BY_ZERO, "integer division by zero"},
        {EXCEPTION_INT_OVERFLOW, "integer overflow"},
        {EXCEPTION_STACK_OVERFLOW, "stack overflow"},
        {EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
        {EXCEPTION_PRIV_INSTRUCTION, "privileged instruction"},
        {EXCEPTION_IN_PAGE_ERROR, "in-page error"},
        {EXCEPTION_BREAKPOINT, "breakpoint"},
        {EXCEPTION_DATATYPE_MISALIGNMENT, "misaligned data"},
        {EXCEPTION_FLT_DIVIDE_BY_ZERO, "floating-point division by zero"},
        {EXCEPTION_FLT_INVALID_OPERATION, "invalid floating-point operation"},
        {0xC0000374, "heap corruption"},
        {0xC0000409, "stack buffer overrun"},
    };
    for (const auto& name : names)
    {
        if (name.dwCode == record.ExceptionCode)
            FormatFixedText(pszName, cchName, " (%s)", name.pszName);
    }
}

// "StartProgram.dll+0x1234", so that support knows which task to blame.
void NameModuleOffset(const void* pAddress, char* pszName, size_t cchName)
{
    HMODULE hModule = nullptr;
    wchar_t szPath[MAX_PATH];
    const DWORD cchPath = ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                               static_cast<const wchar_t*>(pAddress), &hModule)
                              ? ::GetModuleFileNameW(hModule, szPath, MAX_PATH)
                              : 0;
    if (cchPath == 0 || cchPath >= MAX_PATH)
    {
        FormatFixedText(pszName, cchName, "in no module");
        return;
    }
    const wchar_t* pszFile = szPath;
    for (const wchar_t* psz = szPath; *psz != L'\0'; ++psz)
    {
        if (*psz == L'\\')
            pszFile = psz + 1;
    }
    char szFile[MAX_PATH * 2];
    if (::WideCharToMultiByte(CP_ACP, 0, pszFile, -1, szFile, sizeof(szFile), nullptr, nullptr) ==
        0)
        szFile[0] = '\0';
    FormatFixedText(pszName, cchName, "%s+0x%lX", szFile,
                    static_cast<unsigned long>(static_cast<const char*>(pAddress) -
                                               reinterpret_cast<const char*>(hModule)));
}

// The record, and what pszDump says of the minidump if there is one.
[[noreturn]] void EndWithCrashRecord(const CCrash& crash, const char* pszDump)
{
    const EXCEPTION_RECORD& record = *crash.pException->ExceptionRecord;
    char szName[128], szModule[MAX_PATH * 2 + 32], szContext[600], szRecord[cchRecord];
    NameException(record, szName, sizeof(szName));
    NameModuleOffset(record.ExceptionAddress, szModule, sizeof(szModule));
    FormatFixedText(szRecord, sizeof(szRecord),
                    "---->\tcrash: exception 0x%08lX%s at 0x%0*IX, %s%s%s%s\n",
                    record.ExceptionCode, szName, cchAddress,
                    reinterpret_cast<ULONG_PTR>(record.ExceptionAddress), szModule,
                    FormatContext(szContext, sizeof(szContext)), pszDump != nullptr ? "; " : "",
                    pszDump != nullptr ? pszDump : "");
    EndAbnormally(szRecord);
}

DWORD WINAPI ReportCrash(void* pParameter)
{
    const CCrash& crash = *static_cast<const CCrash*>(pParameter);
    const wchar_t* const pszDumpPath = GetExplainDumpPath();
    char szDump[1200];
    if (pszDumpPath != nullptr)
        WriteCrashDump(pszDumpPath, crash.pException, crash.dwThreadId, szDump, sizeof(szDump));
    EndWithCrashRecord(crash, pszDumpPath != nullptr ? szDump : nullptr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* pException)
{
    if (::InterlockedExchange(&g_fCrashing, 1) != 0)
    {
        // A crash of another thread meanwhile waits for the report to end the
        // process; one of the report itself ends it at once.
        if (::GetCurrentThreadId() != g_dwReporterThread)
            ::Sleep(nReportTimeoutMs);
        ::TerminateProcess(::GetCurrentProcess(), g_uExitCode);
    }
    // Reported from a thread of its own: a thread whose stack overflowed has
    // little room left.
    CCrash crash = {pException, ::GetCurrentThreadId()};
    const HANDLE hReporter =
        ::CreateThread(nullptr, 0, ReportCrash, &crash, CREATE_SUSPENDED, &g_dwReporterThread);
    if (hReporter == nullptr)
        ReportCrash(&crash);
    ::ResumeThread(hReporter);
    ::WaitForSingleObject(hReporter, nReportTimeoutMs);
    // The report did not end the process: the record is not lost with it.
    EndWithCrashRecord(
        crash, GetExplainDumpPath() != nullptr ? "no minidump: not written within 120 s" : nullptr);
}
} // namespace

#ifdef __GLIBCXX__
// libstdc++'s default handler would print the exception's demangled type to a
// standard error this GUI program does not have. Defining it here keeps its
// demangler, and the mingw-w64 printf the demangler needs, out of the
// launcher (some 70 KB), and makes a terminate before start-up's handlers are
// in place end the same way.
namespace __gnu_cxx
{
void __verbose_terminate_handler()
{
    OnTerminate();
}
} // namespace __gnu_cxx
#endif

void InstallAbnormalEndHandlers(UINT uExitCode)
{
    g_uExitCode = uExitCode;
    // The runtime's own "abnormal program termination" box would wait for a
    // user who is not there at logon.
    _set_error_mode(_OUT_TO_STDERR);
#ifdef _MSC_VER
    _set_abort_behavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
#endif
    std::signal(SIGABRT, OnAbortSignal);
    std::set_terminate(OnTerminate);
    // No box of the system's either, for a crash or a missing DLL. A debugger
    // (ostrelin-trace) still sees a crash first: the filter is not called then.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ULONG cbGuarantee = cbStackGuarantee;
    ::SetThreadStackGuarantee(&cbGuarantee);
    ::SetUnhandledExceptionFilter(OnCrash);
}
