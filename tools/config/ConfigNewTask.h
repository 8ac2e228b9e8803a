// new-task: a task's own project in a new folder, from the SDK's example,
// under the task's name and with a fresh CLSID. Returns the tool's exit code.
#pragma once

#include <string>

// strName: the task's name (a C++ identifier); strFolder: a folder that does
// not exist yet or is empty.
int RunNewTask(const std::string& strName, const std::wstring& strFolder);
