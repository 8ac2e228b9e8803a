#include "LauncherMain.h"

#include "CoreError.h"
#include "Explain.h"
#include "ExplainedRun.h"
#include "InstanceGuard.h"
#include "LaunchPaths.h"
#include "TaskRunner.h"

int LauncherMain(const char* /*pszCmdLine*/, int /*nShowCmd*/)
{
    // The full command line, not the tail WinMain got: the key is the
    // installation's, the root is wide.
    const CLaunchContext context = ReadLaunchContext();
    CExplainedRun explained;
    IRunObserver quiet;
    IRunObserver& observer = IsExplaining() ? explained : quiet;
    {
        CGuardHandles handles; // closed at the end of this block, in their order
        const LauncherResult eGuard = TakeInstanceGuard(handles, context.strInstanceKey,
                                                        !context.strRootValue.empty(), observer);
        if (eGuard != LauncherResultProceed)
            return eGuard;

        // The one catch site of the launcher's errors: the error end.
        try
        {
            RunTasks(context.strConfigPath, handles.hRegisterMutex.AddressOf(), observer);
        }
        catch (const CCoreError& error)
        {
            observer.OnErrorEnd();
            error.TraceCaught(CORE_SOURCE_LOCATION());
            return LauncherResultRunFailed;
        }
        observer.OnEnd(LauncherResultProceed);
    }
    // The normal end: nothing after this runs, not even COM's shutdown.
    ::ExitProcess(LauncherResultProceed);
}
