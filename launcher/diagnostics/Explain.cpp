#include "Explain.h"

#include "CoreError.h"
#include "CoreTrace.h"
#include "ExplainFolder.h"

#include <cstdarg>

namespace
{
bool g_fExplaining = false;

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

// Values that read as "no" name no folder.
bool IsOff(const wchar_t* pszValue, int cchValue)
{
    for (const wchar_t* pszOff : {L"0", L"false", L"off", L"no"})
    {
        if (::CompareStringOrdinal(pszValue, cchValue, pszOff, -1, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}
} // namespace

void StartExplainedRun()
{
    // Unset, the one call below is all that the explained run costs.
    wchar_t szValue[MAX_PATH];
    DWORD cch = ::GetEnvironmentVariableW(L"OSTRELIN_EXPLAIN", szValue, MAX_PATH);
    if (cch == 0)
        return;
    CWideText strLong;
    const wchar_t* pszValue = szValue;
    if (cch >= MAX_PATH)
    {
        strLong.resize(cch);
        strLong.resize(::GetEnvironmentVariableW(L"OSTRELIN_EXPLAIN", &strLong[0], cch));
        pszValue = strLong.c_str();
        cch = static_cast<DWORD>(strLong.size());
    }
    // "set OSTRELIN_EXPLAIN=0 && ..." in cmd gives "0 ".
    while (cch > 0 && IsBlank(pszValue[cch - 1]))
        --cch;
    while (cch > 0 && IsBlank(*pszValue))
        ++pszValue, --cch;
    if (cch == 0 || IsOff(pszValue, static_cast<int>(cch)))
        return;
    g_fExplaining = true;
    if (!(cch == 1 && *pszValue == L'1'))
        g_fExplaining = StartExplainFolder(CWideText(pszValue, cch).c_str());
}

bool IsExplaining()
{
    return g_fExplaining;
}

void Explain(const char* pszFormat, ...)
{
    if (!g_fExplaining)
        return;
    const CLastErrorKeeper keeper; // the next check point may trace it
    va_list args;
    va_start(args, pszFormat);
    CText strText;
    FormatTextV(strText, pszFormat, args);
    va_end(args);
    TraceText(CText("Ostrelin: ") + strText.GetString() + "\n");
}

LONGLONG ExplainClock()
{
    LARGE_INTEGER counter = {};
    if (g_fExplaining)
        ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

CText ExplainMilliseconds(LONGLONG nStart)
{
    LARGE_INTEGER counter = {}, frequency = {};
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    const LONGLONG nTenths = (counter.QuadPart - nStart) * 10000 / frequency.QuadPart;
    CText strMs;
    FormatText(strMs, "%ld.%ld", static_cast<long>(nTenths / 10), static_cast<long>(nTenths % 10));
    return strMs;
}
