// Where the end-to-end tests find the build's programs and put their files.
#pragma once

#include "BinFolder.h"
#include "ScratchFolder.h"

#include <map>
#include <string>

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

// The number of the first line of a source file (relative to the source
// folder) that holds needle: where a check point's record says it stands;
// -1 when none does.
int SourceLine(const std::string& relativePath, const std::string& needle);

// A folder's entries: each file's name with its bytes, a folder's with "<folder>".
std::map<std::string, std::string> ReadFolder(const std::string& folder);
// The explain files among them: Ostrelin-<yyyymmdd>-<hhmmss>-<pid>.txt.
std::map<std::string, std::string> ExplainFiles(const std::map<std::string, std::string>& entries);
