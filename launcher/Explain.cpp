#include "Explain.h"

#include "CoreTrace.h"
#include "ExplainFile.h"

#include <cstdarg>

namespace
{
bool g_fExplaining = false;

// Values that read as "no" are no file names.
bool IsOff(const wchar_t* pszValue)
{
    for (const wchar_t* pszOff : {L"0", L"false", L"off", L"no"})
    {
        if (::CompareStringOrdinal(pszValue, -1, pszOff, -1, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}
} // namespace

void StartExplainedRun()
{
    // Unset, the one call below is all that the explained run costs.
    wchar_t szValue[MAX_PATH];
    const DWORD cch = ::GetEnvironmentVariableW(L"OSTRELIN_EXPLAIN", szValue, MAX_PATH);
    if (cch == 0 || (cch < MAX_PATH && IsOff(szValue)))
        return;
    g_fExplaining = true;
    if (cch >= MAX_PATH)
    {
        CWideText strPath(cch, L'\0');
        strPath.resize(::GetEnvironmentVariableW(L"OSTRELIN_EXPLAIN", &strPath[0], cch));
        StartExplainFile(strPath.c_str());
    }
    else if (!(szValue[0] == L'1' && szValue[1] == L'\0'))
        StartExplainFile(szValue);
}

bool IsExplaining()
{
    return g_fExplaining;
}

void Explain(const char* pszFormat, ...)
{
    if (!g_fExplaining)
        return;
    const DWORD dwLastError = ::GetLastError();
    va_list args;
    va_start(args, pszFormat);
    CText strText;
    FormatTextV(strText, pszFormat, args);
    va_end(args);
    TraceText(CText("Ostrelin: ") + strText.GetString() + "\n");
    ::SetLastError(dwLastError);
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
