// Runs the tasks that the configuration lists.
#pragma once

#include "CoreText.h"
#include "InstanceGuard.h"

// The launcher's normal end: closes the handles and ends the process with
// exit code 0, at once.
[[noreturn]] void EndRunNormally(CGuardHandles& handles);
using NormalEndFunction = void (*)(CGuardHandles& handles);

// Passes over the configuration at strConfigPath until one ends without a
// reload; then the normal end, with the pass's objects still held. Errors
// leave as CCoreError. Returns only when pfnNormalEnd does (tests).
void RunTasks(const CWideText& strConfigPath, CGuardHandles& handles,
              NormalEndFunction pfnNormalEnd = EndRunNormally);
// A path of the ANSI code page.
void RunTasks(const CText& strConfigPath, CGuardHandles& handles,
              NormalEndFunction pfnNormalEnd = EndRunNormally);
