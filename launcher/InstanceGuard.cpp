#include "InstanceGuard.h"

#include "ExplainedRun.h"

#include <utility>

// Shared with the updater and with copies in the field: exact texts.
const char szRegisterMutexName[] = "ZembraniRegisterMutex";
const char szExclusiveMutexName[] = "ZembraniExclusiveMutex";

namespace
{
const char szCaption[] = "Casino";
const char szLoadingError[] = "Error during casino loading.";
const char szUpdateMessage[] = "You are receiving some updates to the casino.  Please be patient. "
                               "This should not take any longer than 30 seconds";
// Every copy owns the exclusive mutex for the instant of its own probe, the
// updater for the whole update: a probe that waits this long tells the two
// apart. A probe of 0 ms took a copy started at the same moment for the
// updater and showed the update message.
const DWORD nUpdateProbeTimeout = 1000;
const DWORD nInstanceWaitWithRoot = 30000;
const DWORD nInstanceWaitWithoutRoot = 0;

// The guard's steps; pszMessage: what to show once the mutexes are closed.
LauncherResult TakeMutexes(CGuardHandles& handles, const CText& strInstanceKey, bool fRootGiven,
                           CExplainedRun& explained, const char*& pszMessage)
{
    // Both fixed mutexes exist before either is tested.
    handles.hRegisterMutex.Attach(::CreateMutexA(nullptr, FALSE, szRegisterMutexName));
    const DWORD dwRegisterError = ::GetLastError();
    handles.hExclusiveMutex.Attach(::CreateMutexA(nullptr, FALSE, szExclusiveMutexName));
    if (!handles.hRegisterMutex || !handles.hExclusiveMutex)
    {
        const bool fRegister = !handles.hRegisterMutex;
        explained.OnGuardMutexFailed(fRegister ? szRegisterMutexName : szExclusiveMutexName,
                                     fRegister ? dwRegisterError : ::GetLastError());
        pszMessage = szLoadingError;
        return LauncherResultGuardFailed;
    }

    // An owner of the exclusive mutex is installing an update.
    const DWORD dwProbe = ::WaitForSingleObject(handles.hExclusiveMutex.Get(), nUpdateProbeTimeout);
    explained.OnUpdateProbe(szExclusiveMutexName, dwProbe);
    if (dwProbe == WAIT_TIMEOUT)
    {
        pszMessage = szUpdateMessage;
        return LauncherResultUpdating;
    }
    ::ReleaseMutex(handles.hExclusiveMutex.Get());

    // Not tested: without it the wait fails and the run goes unguarded.
    handles.hInstanceMutex.Attach(::CreateMutexA(nullptr, FALSE, strInstanceKey));
    if (!handles.hInstanceMutex)
        explained.OnInstanceMutexFailed(strInstanceKey, ::GetLastError());

    // Owned from here to the end of the main thread; never released explicitly.
    const DWORD nWait = fRootGiven ? nInstanceWaitWithRoot : nInstanceWaitWithoutRoot;
    const DWORD nWaitStart = ::GetTickCount();
    const DWORD dwWait = ::WaitForSingleObject(handles.hInstanceMutex.Get(), nWait);
    if (handles.hInstanceMutex)
        explained.OnInstanceWait(strInstanceKey, dwWait, ::GetTickCount() - nWaitStart);
    return dwWait == WAIT_TIMEOUT ? LauncherResultAlreadyRunning : LauncherResultProceed;
}
} // namespace

LauncherResult TakeInstanceGuard(CGuardHandles& handles, const CText& strInstanceKey,
                                 bool fRootGiven, CExplainedRun& explained)
{
    const char* pszMessage = nullptr;
    LauncherResult eResult;
    {
        CGuardHandles taken; // closed here, in their order, unless handed over
        eResult = TakeMutexes(taken, strInstanceKey, fRootGiven, explained, pszMessage);
        if (eResult == LauncherResultProceed)
            handles = std::move(taken);
    }
    if (pszMessage != nullptr)
        ::MessageBoxA(nullptr, pszMessage, szCaption, MB_OK);
    return eResult;
}
