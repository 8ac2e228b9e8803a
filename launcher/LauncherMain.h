// The launcher's driver routine and its results, the process's exit codes.
#pragma once

enum LauncherResult
{
    LauncherResultProceed = 0,        // also the exit code of a normal end
    LauncherResultGuardFailed = 1,    // a fixed mutex could not be created
    LauncherResultUpdating = 2,       // the updater holds the installation
    LauncherResultAlreadyRunning = 3, // another copy of this installation runs
    LauncherResultRunFailed = 4,      // an error ended the task run
};

// Reads the command line, takes the instance guard, works out the
// configuration path and runs its tasks. A normal end leaves the process from
// here with exit code 0; every other end returns its code.
int LauncherMain(const char* pszCmdLine, int nShowCmd);
