#include "LauncherMain.h"

#include "CoreError.h"
#include "InstanceGuard.h"
#include "LaunchPaths.h"
#include "TaskRunner.h"

int LauncherMain(const char* /*pszCmdLine*/, int /*nShowCmd*/)
{
    CGuardHandles handles;
    CWideText strRootValue;
    const GuardResult eGuard = TakeInstanceGuard(handles, strRootValue);
    if (eGuard != GuardProceed)
        return eGuard;

    // The one catch site of the launcher's errors.
    try
    {
        const CWideText strConfigPath = ResolveConfigPath(strRootValue);
        RunTasks(strConfigPath, handles);
    }
    catch (const CCoreError& error)
    {
        error.TraceCaught(CORE_SOURCE_LOCATION());
        handles.CloseAll();
        return LauncherResultRunFailed;
    }
    return LauncherResultProceed;
}
