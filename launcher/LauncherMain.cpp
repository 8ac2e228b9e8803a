#include "LauncherMain.h"

#include "CoreError.h"
#include "InstanceGuard.h"
#include "LaunchPaths.h"
#include "TaskRunner.h"

int LauncherMain(const char* /*pszCmdLine*/, int /*nShowCmd*/)
{
    CGuardHandles handles;
    CText strRootValue;
    const int nGuardResult = TakeInstanceGuard(handles, strRootValue);
    if (nGuardResult != LauncherResultProceed)
        return nGuardResult;

    // The one catch site of the launcher's errors.
    try
    {
        const CText strConfigPath = ResolveConfigPath(strRootValue);
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
