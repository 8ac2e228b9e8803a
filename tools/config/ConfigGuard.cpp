#include "ConfigGuard.h"

#include "ConfigFiles.h"
#include "CoreHandle.h"
#include "InstanceGuard.h"

#include <windows.h>

namespace
{
// As long as the launcher's own probe waits: a copy owns the mutex only for
// the instant of its probe, the updater for the whole update.
const DWORD nProbeMs = 1000;

enum class MutexState
{
    Free,
    Held,
    OtherKind // the name is taken by an object that is no mutex
};

// Owned by nobody, owned elsewhere, or not a mutex. Ownership taken for the
// probe is given back at once, as the launcher's probe gives it back.
MutexState ProbeMutex(const char* pszName)
{
    const CUniqueHandle hMutex(::OpenMutexA(SYNCHRONIZE, FALSE, pszName));
    if (!hMutex)
        return ::GetLastError() == ERROR_INVALID_HANDLE ? MutexState::OtherKind : MutexState::Free;
    const DWORD dwWait = ::WaitForSingleObject(hMutex.Get(), nProbeMs);
    if (dwWait == WAIT_TIMEOUT)
        return MutexState::Held;
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
        ::ReleaseMutex(hMutex.Get());
    return MutexState::Free;
}
} // namespace

bool ReportGuard(const char* pszInstanceKey)
{
    const MutexState registerState = ProbeMutex(szRegisterMutexName);
    const MutexState exclusiveState = ProbeMutex(szExclusiveMutexName);
    if (registerState == MutexState::OtherKind || exclusiveState == MutexState::OtherKind)
    {
        Print(stdout,
              "guard: \"%s\" is taken by an object of another kind: a start ends with exit "
              "code 1 (\"Error during casino loading.\")\n",
              registerState == MutexState::OtherKind ? szRegisterMutexName : szExclusiveMutexName);
        return true;
    }
    if (exclusiveState == MutexState::Held)
    {
        Print(stdout,
              "guard: \"%s\" is owned by the updater: a start ends with exit code 2 (the update "
              "message)\n",
              szExclusiveMutexName);
        return true;
    }
    if (pszInstanceKey == nullptr)
    {
        Print(stdout, "guard: no update running\n");
        return false;
    }
    if (ProbeMutex(pszInstanceKey) == MutexState::Held)
    {
        Print(stdout,
              "guard: instance key \"%s\" is held by another copy: a start ends with exit code 3 "
              "(with %%ResourceRoot%%, after waiting up to 30 s for it)\n",
              Utf8FromAnsi(pszInstanceKey).c_str());
        return true;
    }
    Print(stdout, "guard: no update running, no copy holds the instance key\n");
    return false;
}
