#include "AbnormalEnd.h"

#include "CoreText.h"
#include "CoreError.h"
#include "CoreHandle.h"
#include "CoreFile.h"
#include "CoreTrace.h"
#include "CrashDump.h"
#include "ExplainFile.h"
#include "LauncherMain.h"

#include <csignal>
#include <cstdlib>
#include <exception>
#include <utility>

namespace
{
// Abrupt on purpose: after abort() or terminate nothing else of the process
// can be trusted to run, not even its DLLs' detach code.
[[noreturn]] void EndAbnormally(const char* pszRecord)
{
    TraceText(pszRecord);
    ::TerminateProcess(::GetCurrentProcess(), LauncherResultRunFailed);
    ::ExitProcess(LauncherResultRunFailed); // not reached
}

void OnAbortSignal(int)
{
    EndAbnormally("---->\tabort() called: a task aborted, or a C++ exception left a task\n");
}

// What the exception being handled is, as far as its type tells.
CText DescribeCurrentException()
{
    CText strWhat;
    try
    {
        throw;
    }
    catch (const CCoreError& error)
    {
        FormatText(strWhat, "%s %s", error.GetDescription().GetString(), error.GetExpression());
    }
    catch (const CAtlException& error)
    {
        FormatText(strWhat, "CAtlException 0x%08X", static_cast<unsigned>(error.m_hr));
    }
    catch (const std::exception& error)
    {
        FormatText(strWhat, "std::exception \"%s\"", error.what());
    }
    catch (...)
    {
        strWhat = "an exception of unknown type";
    }
    return strWhat;
}

void OnTerminate()
{
    CText strRecord("---->\tstd::terminate() called: ");
    try
    {
        strRecord += std::current_exception() ? DescribeCurrentException() : CText("no exception");
        strRecord += "\n";
    }
    catch (...)
    {
        strRecord = "---->\tstd::terminate() called\n"; // no memory left to say more
    }
    EndAbnormally(strRecord);
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
CText NameException(const EXCEPTION_RECORD& record)
{
    CText strName;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2)
    {
        const ULONG_PTR nAccess = record.ExceptionInformation[0];
        FormatText(strName, " (access violation %s 0x%0*IX)",
                   nAccess == 0   ? "reading"
                   : nAccess == 8 ? "executing"
                                  : "writing",
                   cchAddress, record.ExceptionInformation[1]);
        return strName;
    }
    const std::pair<DWORD, const char*> names[] = {
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
        if (name.first == record.ExceptionCode)
            FormatText(strName, " (%s)", name.second);
    }
    return strName;
}

// "StartProgram.dll+0x1234", so that support knows which task to blame.
CText NameModuleOffset(const void* pAddress)
{
    HMODULE hModule = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<const wchar_t*>(pAddress), &hModule))
        return "in no module";
    const CWideText strPath = GetModuleFilePathW(hModule);
    const size_t iName = strPath.find_last_of(L'\\') + 1; // 0 without a backslash
    CText strName;
    FormatText(
        strName, "%s+0x%lX",
        TextFromWide(strPath.c_str() + iName, static_cast<int>(strPath.size() - iName), CP_ACP)
            .GetString(),
        static_cast<unsigned long>(static_cast<const char*>(pAddress) -
                                   reinterpret_cast<const char*>(hModule)));
    return strName;
}

// The record, and what pszDump says of the minidump if there is one.
[[noreturn]] void EndWithCrashRecord(const CCrash& crash, const char* pszDump)
{
    const EXCEPTION_RECORD& record = *crash.pException->ExceptionRecord;
    CText strRecord;
    try
    {
        FormatText(strRecord, "---->\tcrash: exception 0x%08lX%s at 0x%0*IX, %s%s%s\n",
                   record.ExceptionCode, NameException(record).GetString(), cchAddress,
                   reinterpret_cast<ULONG_PTR>(record.ExceptionAddress),
                   NameModuleOffset(record.ExceptionAddress).GetString(),
                   pszDump != nullptr ? "; " : "", pszDump != nullptr ? pszDump : "");
    }
    catch (...)
    {
        strRecord = "---->\tcrash\n"; // no memory left to say more
    }
    EndAbnormally(strRecord);
}

DWORD WINAPI ReportCrash(void* pParameter)
{
    const CCrash& crash = *static_cast<const CCrash*>(pParameter);
    const wchar_t* const pszExplainFile = GetExplainFilePath();
    CText strDump;
    try
    {
        if (pszExplainFile != nullptr)
            strDump = WriteCrashDump(pszExplainFile, crash.pException, crash.dwThreadId);
    }
    catch (...)
    {
        strDump = "no minidump: no memory left";
    }
    EndWithCrashRecord(crash, pszExplainFile != nullptr ? strDump.GetString() : nullptr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* pException)
{
    if (::InterlockedExchange(&g_fCrashing, 1) != 0)
    {
        // A crash of the report itself, or of another thread meanwhile.
        if (::GetCurrentThreadId() != g_dwReporterThread)
            ::Sleep(nReportTimeoutMs);
        ::TerminateProcess(::GetCurrentProcess(), LauncherResultRunFailed);
    }
    // Reported from a thread of its own: a thread whose stack overflowed has
    // little room left.
    CCrash crash = {pException, ::GetCurrentThreadId()};
    const CUniqueHandle hReporter(
        ::CreateThread(nullptr, 0, ReportCrash, &crash, CREATE_SUSPENDED, &g_dwReporterThread));
    if (!hReporter)
        ReportCrash(&crash);
    ::ResumeThread(hReporter.Get());
    ::WaitForSingleObject(hReporter.Get(), nReportTimeoutMs);
    // The report did not end the process: the record is not lost with it.
    EndWithCrashRecord(
        crash, GetExplainFilePath() != nullptr ? "no minidump: not written within 120 s" : nullptr);
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

void InstallAbnormalEndHandlers()
{
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
