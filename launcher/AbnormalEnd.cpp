#include "AbnormalEnd.h"

#include "CoreError.h"
#include "CoreTrace.h"
#include "LauncherMain.h"

#include <csignal>
#include <cstdlib>
#include <exception>

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
}
