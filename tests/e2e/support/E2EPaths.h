// Where the end-to-end tests find the build's programs and put their files.
#pragma once

#include "TestPaths.h"

#include <string>

// A folder of this test process's own under the system's temporary folder,
// created on first use, with a trailing backslash.
std::string GetTestTempFolder();

// Deletes a folder and everything in it, however deep; quiet when it is gone
// already.
void RemoveFolder(const std::string& folder);
void RemoveFolder(const std::wstring& folder);
