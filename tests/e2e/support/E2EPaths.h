// Where the end-to-end tests find the build's programs and put their files.
#pragma once

#include "ScratchFolder.h"
#include "TestPaths.h"

// A folder of this test process's own under the system's temporary folder,
// created on first use and removed at the end, with a trailing backslash.
inline std::string GetTestTempFolder()
{
    static const CScratchFolder folder;
    return folder.Folder() + "\\";
}

// Deletes a folder and everything in it; quiet when it is gone already.
inline void RemoveFolder(const std::string& folder)
{
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}
