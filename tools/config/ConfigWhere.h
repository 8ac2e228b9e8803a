// where: the configuration path and the instance key of a launcher started
// with a given command line, worked out by the launcher's own code; then the
// check of that configuration. Returns the tool's exit code, as check does.
#pragma once

#include <string>

// strLauncher: the launcher's path as its command line names it;
// pszCommandLine: that whole command line, exactly as typed.
int RunWhere(const std::wstring& strLauncher, const wchar_t* pszCommandLine, bool fStrict);
