#include "LauncherMain.h"

#include "CoreError.h"
#include "Explain.h"
#include "InstanceGuard.h"
#include "LaunchPaths.h"
#include "TaskRunner.h"

int LauncherMain(const char* /*pszCmdLine*/, int /*nShowCmd*/)
{
    // The full command line, not the tail WinMain got: the key is the
    // installation's (the updater computes the same one), the root is wide.
    const CText strInstanceKey = MakeInstanceKey(::GetCommandLineA());
    const CWideText strRootValue = GetCommandLineArgument(L"%ResourceRoot%");
    {
        CGuardHandles handles; // closed at the end of this block, in their order
        const LauncherResult eGuard =
            TakeInstanceGuard(handles, strInstanceKey, !strRootValue.empty());
        if (eGuard != LauncherResultProceed)
            return eGuard;

        // The one catch site of the launcher's errors: the error end.
        try
        {
            RunTasks(ResolveConfigPath(strRootValue), handles.hRegisterMutex.AddressOf());
        }
        catch (const CCoreError& error)
        {
            error.TraceCaught(CORE_SOURCE_LOCATION());
            return LauncherResultRunFailed;
        }
        Explain("ends with exit code 0");
    }
    // The normal end: nothing after this runs, not even COM's shutdown.
    ::ExitProcess(LauncherResultProceed);
}
