// check: loads a configuration exactly as the launcher does and reports what
// its run would do. Returns the tool's exit code.
#pragma once

int RunCheck(const char* pszPath);
