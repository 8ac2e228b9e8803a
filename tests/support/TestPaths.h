// Where the tests find the build's programs.
#pragma once

#include <windows.h>

#include <string>

// The build's bin folder, where the test itself runs, with a trailing backslash.
inline std::string GetBinFolder()
{
    char szPath[MAX_PATH * 4] = "";
    const DWORD cch = ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
    const std::string path(szPath, cch);
    return path.substr(0, path.find_last_of('\\') + 1);
}
