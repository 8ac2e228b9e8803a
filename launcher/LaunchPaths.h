// The three texts the launcher works out at start: the %ResourceRoot% value,
// the instance key and the configuration path.
#pragma once

#include "CoreText.h"

// The value of argument pszName on the process command line, or empty.
CText GetCommandLineArgument(const char* pszName);
CText FindCommandLineArgument(const char* pszCommandLine, const char* pszName);

// The per-installation mutex name, from the full process command line.
CText MakeInstanceKey(const char* pszCommandLine);

// strRootValue followed by "\bin\Config.xml"; an empty root stands for the
// directory above the executable's own.
CText ResolveConfigPath(CText strRootValue);
CText ResolveConfigPathFrom(CText strRootValue, const CText& strModulePath);

// The full path of the running executable, however long.
CText GetModulePath();
