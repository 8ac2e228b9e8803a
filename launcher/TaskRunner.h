// Runs the tasks that the configuration lists.
#pragma once

#include "CoreText.h"

class CExplainedRun;

// Passes over the configuration at strConfigPath until one ends without a
// reload. phRegisterMutex is lent to every task's Init; explained hears of each
// pass and child. Errors leave as CCoreError.
void RunTasks(const CWideText& strConfigPath, HANDLE* phRegisterMutex, CExplainedRun& explained);
