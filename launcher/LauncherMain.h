// The launcher's driver routine.
#pragma once

#include "LauncherResult.h"

// Reads the command line, takes the instance guard, works out the
// configuration path and runs its tasks. A normal end leaves the process from
// here with exit code 0; every other end returns its LauncherResult.
int LauncherMain(const char* pszCmdLine, int nShowCmd);
