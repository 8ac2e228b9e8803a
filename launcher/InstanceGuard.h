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

// Takes the guard. Returns 0 to proceed, with the three handles open and
// strRootValue holding %ResourceRoot%; otherwise the launcher's result 1, 2
// or 3, with every handle closed and the message shown.
int TakeInstanceGuard(CGuardHandles& handles, CText& strRootValue);

extern const char szRegisterMutexName[];
extern const char szExclusiveMutexName[];
