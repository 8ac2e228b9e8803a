// DLLs from the system folder only. Windows looks for a DLL outside its
// known-DLL list beside the program first: a version.dll planted in the
// folder where support keeps a tool (Downloads, a USB stick) would load.
#pragma once

#include <windows.h>

// From now on LoadLibrary looks in the system folder only, where the system
// offers that (SetDefaultDllDirectories; Windows 7 needs KB2533623).
void LimitDllSearchToSystem();

// The DLL pszName of the system folder, by its full path; null, with the last
// error, when it is not there. Never freed: the callers keep it to their end.
HMODULE LoadSystemLibrary(const wchar_t* pszName);
