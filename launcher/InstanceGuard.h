// Coordination with other copies and with the updater through named mutexes.
#pragma once

#include "CoreHandle.h"
#include "CoreText.h"
#include "LauncherResult.h"

class CExplainedRun;

// The guard's three mutexes. The updater and older copies rely on the order in
// which they are closed: register, exclusive, instance; so they are declared
// in the reverse order.
struct CGuardHandles
{
    CUniqueHandle hInstanceMutex;
    CUniqueHandle hExclusiveMutex;
    CUniqueHandle hRegisterMutex; // its slot is lent to every task, which may close it
};

// Takes the guard for the installation of strInstanceKey; an instance held
// elsewhere is waited for only when the command line gives a root. Its steps
// go to explained. LauncherResultProceed with the mutexes open in handles;
// otherwise they are closed first, and then the message, if any, shown.
LauncherResult TakeInstanceGuard(CGuardHandles& handles, const CText& strInstanceKey,
                                 bool fRootGiven, CExplainedRun& explained);

extern const char szRegisterMutexName[];
extern const char szExclusiveMutexName[];
