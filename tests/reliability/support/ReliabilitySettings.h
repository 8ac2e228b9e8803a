// How long the reliability runs are: environment variables, so that CTest
// runs stay short by default and a longer run needs no rebuild.
//   OSTRELIN_LONG_TESTS=1    the long variants (more iterations, more reloads)
//   <name>=<number>          overrides one count; each test names its own
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

inline bool LongTestsWanted()
{
    char szValue[16] = "";
    return ::GetEnvironmentVariableA("OSTRELIN_LONG_TESTS", szValue, sizeof(szValue)) > 0 &&
           std::string(szValue) != "0";
}

// The number in the environment variable pszName, or the default (long or short).
inline unsigned long CountFromEnvironment(const char* pszName, unsigned long nShort,
                                          unsigned long nLong)
{
    char szValue[32] = "";
    const DWORD cch = ::GetEnvironmentVariableA(pszName, szValue, sizeof(szValue));
    if (cch > 0 && cch < sizeof(szValue))
        return std::strtoul(szValue, nullptr, 0);
    return LongTestsWanted() ? nLong : nShort;
}
