// Where the sample tasks' paths lead. A relative path in a task's element
// starts at the folder of the Config.xml that holds it, <resource root>\bin:
// the launcher's own folder unless %ResourceRoot% names another root.
#pragma once

#include <string>

// The full path of the Config.xml that the launcher of this process reads, as
// it works it out from its command line and its executable.
std::wstring GetLiveConfigPath();

// strPath with environment variables expanded, made absolute against the
// folder of the live Config.xml and normalised ("..", "/").
std::wstring ResolveTaskPath(const std::wstring& strPath);
std::wstring ResolveTaskPathFrom(const std::wstring& strConfigPath, const std::wstring& strPath);

// The full form of strPath (no file system access): "." and ".." resolved,
// '/' as '\'; a relative path starts at the current directory.
std::wstring GetFullPath(const std::wstring& strPath);
