// The launcher's results, which are also the process's exit codes.
#pragma once

enum LauncherResult
{
    LauncherResultProceed = 0,        // also the exit code of a normal end
    LauncherResultGuardFailed = 1,    // a fixed mutex could not be created
    LauncherResultUpdating = 2,       // the updater holds the installation
    LauncherResultAlreadyRunning = 3, // another copy of this installation runs
    LauncherResultRunFailed = 4,      // an error ended the task run
};
