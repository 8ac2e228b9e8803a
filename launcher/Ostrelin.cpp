// Process entry: COM for the main thread around the driver routine.
#include <windows.h>

#include "AbnormalEnd.h"
#include "CoreTrace.h"
#include "Explain.h"
#include "LauncherMain.h"

namespace
{
// The COM module of a launcher that serves no classes: its class tables are
// empty, so starting and stopping it only creates and deletes its lock.
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
    InstallAbnormalEndHandlers();
    StartExplainedRun();
    ::CoInitialize(nullptr);
    ::DefWindowProcA(nullptr, 0, 0, 0);
    CLauncherModule module;
    module.Init();

    const int nResult = LauncherMain(pszCmdLine, nShowCmd);
    Explain("ends with exit code %d", nResult);

    TraceText("\n\n=================================== last task - before CoUninitialize()\n\n");
    module.Term();
    ::CoUninitialize();
    TraceText("\n\n=================================== last task - before EXIT\n\n");
    return nResult;
}
