// Runs the tasks that the configuration lists.
#pragma once

#include "CoreText.h"
#include "InstanceGuard.h"

// Passes over the configuration at strConfigPath until one ends without a
// reload; then closes the handles and ends the process with exit code 0.
// Errors leave as CCoreError.
void RunTasks(const CText& strConfigPath, CGuardHandles& handles);
