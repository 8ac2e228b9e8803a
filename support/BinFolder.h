// The folder of this program's own file, with a trailing backslash: where a
// tool, a benchmark or a test finds the programs built or installed beside it.
#pragma once

#include "CoreFile.h"

#include <string>

inline std::string GetBinFolder()
{
    const std::string strPath = AnsiFromWide(GetModuleFilePathW()).GetString();
    return strPath.substr(0, strPath.find_last_of('\\') + 1);
}
