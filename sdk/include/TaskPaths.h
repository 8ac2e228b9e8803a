// Where a task's paths lead. A relative path in a task's element starts at the
// folder of the Config.xml that holds it, <resource root>\bin: the launcher's
// own folder unless %ResourceRoot% names another root. The configuration path
// follows the launcher's own rules (the same code), from the command line and
// the executable of the process that hosts the task. Failures raise the
// check-point errors of CoreError.h.
#pragma once

#include <string>

namespace OstrelinSdk
{
// The full path of the Config.xml that the launcher of this process reads, as
// it works it out from its command line and its executable.
std::wstring GetLiveConfigPath();

// strPath with environment variables expanded, made absolute against the
// folder of the live Config.xml and normalised ("..", "/").
std::wstring ResolveTaskPath(const std::wstring& strPath);
std::wstring ResolveTaskPathFrom(const std::wstring& strConfigPath, const std::wstring& strPath);

// The full form of strPath (no file system access): "." and ".." resolved,
// '/' as '\'; a relative path starts at the current directory.
std::wstring GetFullTaskPath(const std::wstring& strPath);
} // namespace OstrelinSdk
