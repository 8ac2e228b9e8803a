// Ends that no check point catches: abort(), the C++ terminate path, and a
// crash (an exception no handler takes). Each writes one record naming what
// happened and ends the process with the code it is given (the launcher's
// error end, 4), where the runtime would end it with 3, the code of "another
// copy is running", and the system would wait at its crash dialog for a user.
// The records are formatted into fixed buffers on the stack: a crash inside
// the heap, or with its lock held, must not lose its record.
#pragma once

#include <windows.h>

// Call once, at start-up. Task DLLs built with mingw-w64 share msvcrt.dll and
// so its SIGABRT handler: an exception that leaves a task's Init or Run ends
// through the DLL's own runtime in abort(), and is reported here too.
void InstallAbnormalEndHandlers(UINT uExitCode);
