// check: loads a configuration exactly as the launcher does and reports what
// its run would do. Returns the tool's exit code: 0 the run goes through, 1
// the file cannot be read, 2 a start would end at the guard, the run would
// end in an error or, when strict, a task would be skipped.
#pragma once

#include <string>

// The classes are looked for in the registry view of the launcher at
// strLauncher, by default the Ostrelin.exe beside the configuration; the guard
// is probed, with the instance key when it is known (ANSI, may be null).
int RunCheck(const std::wstring& strPath, bool fStrict, const std::wstring& strLauncher = L"",
             const char* pszInstanceKey = nullptr);
