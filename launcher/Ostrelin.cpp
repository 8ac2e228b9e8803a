// Process entry: COM for the main thread around the driver routine.
#include <windows.h>

#include "CoreTrace.h"
#include "ExplainedRun.h"
#include "LauncherMain.h"

namespace
{
// The COM module's start and stop, kept from the launcher's first form: it
// serves no classes, so its lock is all there is to create and delete.
class CLauncherModule
{
public:
    void Init() { ::InitializeCriticalSection(&m_csLock); }
    void Term() { ::DeleteCriticalSection(&m_csLock); }

private:
    CRITICAL_SECTION m_csLock;
};
} // namespace

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPSTR pszCmdLine,
                   int nShowCmd)
{
    CExplainedRun::StartProcess(LauncherResultRunFailed);
    // Not examined: a task that needs COM meets the failure itself.
    ::CoInitialize(nullptr);
    // Joins the main thread to user32 before any task runs, as it always did.
    ::DefWindowProcA(nullptr, 0, 0, 0);
    CLauncherModule module;
    module.Init();

    const int nResult = LauncherMain(pszCmdLine, nShowCmd);

    TraceText("\n\n=================================== last task - before CoUninitialize()\n\n");
    module.Term();
    ::CoUninitialize();
    TraceText("\n\n=================================== last task - before EXIT\n\n");
    return nResult;
}
