// Where the end-to-end tests find the build's programs and put their files.
#pragma once

#include "BinFolder.h"
#include "ScratchFolder.h"

// The test process's own temporary folder, with a trailing backslash.
inline std::string GetTestTempFolder()
{
    static const CScratchFolder folder("ostrelin-");
    return folder.Path() + "\\";
}

inline constexpr auto& RemoveFolder = RemoveFolderTree;
