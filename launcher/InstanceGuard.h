// Coordination with other copies and with the updater through named mutexes.
#pragma once

#include "CoreText.h"

// The guard's three handles. The updater and older copies rely on the order in
// which they are closed: register, exclusive, instance; NULL is skipped.
struct CGuardHandles
{
    HANDLE hRegisterMutex = nullptr; // its address is lent to every task
    HANDLE hExclusiveMutex = nullptr;
    HANDLE hInstanceMutex = nullptr;

    CGuardHandles() = default;
    CGuardHandles(const CGuardHandles&) = delete;
    CGuardHandles& operator=(const CGuardHandles&) = delete;
    ~CGuardHandles() { CloseAll(); }

    void CloseAll();
};

// How the guard ended; the values are the launcher's exit codes.
enum GuardResult
{
    GuardProceed = 0,
    GuardFixedMutexFailed = 1, // "Error during casino loading." was shown
    GuardUpdating = 2,         // the update message was shown
    GuardAlreadyRunning = 3,   // another copy of this installation runs
};

// Takes the guard. GuardProceed with the three handles open and strRootValue
// holding %ResourceRoot% (read from the wide command line); otherwise every
// handle is closed and the message, if any, shown.
GuardResult TakeInstanceGuard(CGuardHandles& handles, CWideText& strRootValue);

extern const char szRegisterMutexName[];
extern const char szExclusiveMutexName[];
