// The three texts the launcher works out at start: the %ResourceRoot% value,
// the instance key and the configuration path.
#pragma once

#include "CoreText.h"

// The value of the %ResourceRoot% argument on the running process's command
// line, or on pszCommandLine; empty without one.
CWideText GetResourceRootValue();
CWideText FindResourceRootValue(const wchar_t* pszCommandLine);

// The value of argument pszName (" name=value", the value bare up to the next
// blank, or in double or single quotes) on the wide process command line, or
// empty.
CWideText GetCommandLineArgument(const wchar_t* pszName);
CWideText FindCommandLineArgument(const wchar_t* pszCommandLine, const wchar_t* pszName);

// The per-installation mutex name, from the full narrow process command line
// (the updater computes it from the same text). A key longer than a mutex
// name may be (MAX_PATH characters) is shortened: the 16 hex digits of its
// 64-bit FNV-1a hash, '_', then its last characters.
CText MakeInstanceKey(const char* pszCommandLine);

// strRootValue followed by "\bin\Config.xml"; an empty root stands for the
// directory above the executable's own (strModulePath; ResolveConfigPath
// takes the running one's).
CWideText ResolveConfigPath(const CWideText& strRootValue);
CWideText ResolveConfigPathFrom(CWideText strRootValue, const CWideText& strModulePath);
