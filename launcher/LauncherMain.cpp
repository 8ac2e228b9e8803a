#include "LauncherMain.h"

#include "CoreError.h"
#include "ExplainedRun.h"
#include "InstanceGuard.h"
#include "LaunchPaths.h"
#include "TaskRunner.h"

namespace
{
// The guard, then the run; the guard's mutexes are closed on every way out.
LauncherResult GuardAndRun(const CText& strInstanceKey, bool fRootGiven,
                           const CWideText& strConfigPath, CExplainedRun& explained)
{
    CGuardHandles handles; // closed at the end of this block, in their order
    const LauncherResult eGuard = TakeInstanceGuard(handles, strInstanceKey, fRootGiven, explained);
    if (eGuard != LauncherResultProceed)
        return eGuard;

    // The one catch site of the launcher's errors: the error end.
    try
    {
        RunTasks(strConfigPath, handles.hRegisterMutex.AddressOf(), explained);
    }
    catch (const CCoreError& error)
    {
        explained.OnErrorEnd();
        error.TraceCaught(CORE_SOURCE_LOCATION());
        return LauncherResultRunFailed;
    }
    return LauncherResultProceed;
}
} // namespace

int LauncherMain(const char* /*pszCmdLine*/, int /*nShowCmd*/)
{
    // The full command line, not the tail WinMain got: the key is the
    // installation's, the root is wide.
    const CText strInstanceKey = MakeInstanceKey(::GetCommandLineA());
    const CWideText strRootValue = GetResourceRootValue();
    const CWideText strConfigPath = ResolveConfigPath(strRootValue);
    CExplainedRun explained;
    explained.OnLaunchContext(strConfigPath, strRootValue);
    const LauncherResult eResult =
        GuardAndRun(strInstanceKey, !strRootValue.empty(), strConfigPath, explained);
    explained.OnEnd(eResult);
    // The normal end: nothing after this runs, not even COM's shutdown.
    if (eResult == LauncherResultProceed)
        ::ExitProcess(LauncherResultProceed);
    return eResult;
}
