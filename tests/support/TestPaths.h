// Where the tests find the build's programs.
#pragma once

#include <windows.h>

#include <string>

// The folder of the running test executable, with a trailing backslash: the
// build's bin folder, where every program of the build lands.
inline std::string GetBinFolder()
{
    char szPath[MAX_PATH * 4] = "";
    const DWORD cch = ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
    const std::string path(szPath, cch);
    return path.substr(0, path.find_last_of('\\') + 1);
}
