// Where the end-to-end tests find the build's programs and put their files.
#pragma once

#include <string>

// The folder of the running test executable, with a trailing backslash: the
// build's bin folder, where every program of the build lands.
std::string GetBinFolder();

// A folder of this test process's own under the system's temporary folder,
// created on first use, with a trailing backslash.
std::string GetTestTempFolder();

// Deletes a folder and everything in it; quiet when it is gone already.
void RemoveFolder(const std::string& folder);
