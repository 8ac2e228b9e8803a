// check: loads a configuration exactly as the launcher does and reports what
// its run would do. Returns the tool's exit code: 0 the run goes through, 1
// the file cannot be read, 2 the run would end in an error or, when strict,
// a task would be skipped.
#pragma once

int RunCheck(const char* pszPath, bool fStrict);
