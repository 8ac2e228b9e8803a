#include "TraceEnvironment.h"

#include <windows.h>

#include <vector>

namespace
{
const wchar_t wszExplain[] = L"OSTRELIN_EXPLAIN";
} // namespace

std::string PrepareExplainVariable(bool noExplain)
{
    // Changed in place, wide: a rebuilt environment block would lose other
    // variables' characters outside the code page.
    if (noExplain)
    {
        ::SetEnvironmentVariableW(wszExplain, nullptr);
        return "OSTRELIN_EXPLAIN is not set for the program (--no-explain)";
    }
    const DWORD cchValue = ::GetEnvironmentVariableW(wszExplain, nullptr, 0);
    if (cchValue == 0)
    {
        ::SetEnvironmentVariableW(wszExplain, L"1");
        return "OSTRELIN_EXPLAIN=1 for the program (--no-explain leaves it out)";
    }
    std::vector<wchar_t> value(cchValue);
    const DWORD cch = ::GetEnvironmentVariableW(wszExplain, value.data(), cchValue);
    const int cb = ::WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(cch), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(static_cast<size_t>(cb), '\0');
    if (cb > 0)
        ::WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(cch), &text[0], cb, nullptr,
                              nullptr);
    return "OSTRELIN_EXPLAIN=" + text + " for the program, as set here";
}
