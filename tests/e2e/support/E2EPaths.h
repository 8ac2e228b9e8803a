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

// Deletes a folder and everything in it, however deep; quiet when it is gone
// already.
void RemoveFolder(const std::string& folder);
void RemoveFolder(const std::wstring& folder);
