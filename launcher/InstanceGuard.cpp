#include "InstanceGuard.h"

#include "CoreHandle.h"
#include "Explain.h"
#include "LaunchPaths.h"

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

void ShowMessage(const char* pszText)
{
    ::MessageBoxA(nullptr, pszText, szCaption, MB_OK);
}

void ExplainProbe(DWORD dwProbe)
{
    if (dwProbe == WAIT_TIMEOUT)
        Explain("guard: update probe: \"%s\" is owned by the updater", szExclusiveMutexName);
    else if (dwProbe == WAIT_ABANDONED)
        Explain("guard: update probe: \"%s\" was abandoned: no update running",
                szExclusiveMutexName);
    else
        Explain("guard: update probe: no update running");
}

void ExplainInstanceWait(const CText& strKey, DWORD dwWait, DWORD nWaitedMs)
{
    if (dwWait == WAIT_TIMEOUT)
        Explain("guard: instance key \"%s\" is held by another copy (waited %lu ms)",
                strKey.GetString(), nWaitedMs);
    else if (dwWait == WAIT_ABANDONED)
        // Every copy ends holding its key: this is the normal hand-over.
        Explain("guard: instance key \"%s\" taken over from a copy that has ended",
                strKey.GetString());
    else
        Explain("guard: instance key \"%s\" taken (waited %lu ms)", strKey.GetString(), nWaitedMs);
}
} // namespace

void CGuardHandles::CloseAll()
{
    // A task may have closed the register mutex and left NULL in its slot.
    for (HANDLE* phMutex : {&hRegisterMutex, &hExclusiveMutex, &hInstanceMutex})
        CUniqueHandle(std::exchange(*phMutex, nullptr)).Close();
}

GuardResult TakeInstanceGuard(CGuardHandles& handles, CWideText& strRootValue)
{
    // Both fixed mutexes exist before either is tested.
    handles.hRegisterMutex = ::CreateMutexA(nullptr, FALSE, szRegisterMutexName);
    const DWORD dwRegisterError = ::GetLastError();
    handles.hExclusiveMutex = ::CreateMutexA(nullptr, FALSE, szExclusiveMutexName);
    if (handles.hRegisterMutex == nullptr || handles.hExclusiveMutex == nullptr)
    {
        const bool fRegister = handles.hRegisterMutex == nullptr;
        Explain("guard: \"%s\" could not be created (LastError %lu)",
                fRegister ? szRegisterMutexName : szExclusiveMutexName,
                fRegister ? dwRegisterError : ::GetLastError());
        handles.CloseAll();
        ShowMessage(szLoadingError);
        return GuardFixedMutexFailed;
    }

    // An owner of the exclusive mutex is installing an update.
    const DWORD dwProbe = ::WaitForSingleObject(handles.hExclusiveMutex, nUpdateProbeTimeout);
    ExplainProbe(dwProbe);
    if (dwProbe == WAIT_TIMEOUT)
    {
        handles.CloseAll();
        ShowMessage(szUpdateMessage);
        return GuardUpdating;
    }
    ::ReleaseMutex(handles.hExclusiveMutex);

    const CText strInstanceKey = MakeInstanceKey(::GetCommandLineA());
    // Not tested: without it the wait fails and the run goes unguarded.
    handles.hInstanceMutex = ::CreateMutexA(nullptr, FALSE, strInstanceKey);
    if (handles.hInstanceMutex == nullptr)
        Explain("guard: instance mutex \"%s\" could not be created (LastError %lu): runs unguarded",
                strInstanceKey.GetString(), ::GetLastError());
    strRootValue = GetCommandLineArgument(L"%ResourceRoot%");

    // Owned from here to the end of the main thread; never released explicitly.
    const DWORD nWait = strRootValue.empty() ? nInstanceWaitWithoutRoot : nInstanceWaitWithRoot;
    const DWORD nWaitStart = ::GetTickCount();
    const DWORD dwWait = ::WaitForSingleObject(handles.hInstanceMutex, nWait);
    if (handles.hInstanceMutex != nullptr)
        ExplainInstanceWait(strInstanceKey, dwWait, ::GetTickCount() - nWaitStart);
    if (dwWait == WAIT_TIMEOUT)
    {
        handles.CloseAll();
        return GuardAlreadyRunning;
    }
    return GuardProceed;
}
