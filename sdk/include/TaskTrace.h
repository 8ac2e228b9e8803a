// A trace record of the task's own, among the launcher's on the debugger
// output (ostrelin-trace shows them in order).
#pragma once

#include <string>

namespace OstrelinSdk
{
// One record "<task>: <text>\n", converted to the ANSI code page, as the
// launcher's own records are.
void TraceTaskText(const char* pszTask, const std::wstring& strText);
} // namespace OstrelinSdk
