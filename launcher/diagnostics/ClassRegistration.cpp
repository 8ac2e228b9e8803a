#include "ClassRegistration.h"

#include "DllDiagnosis.h"

#include <shlwapi.h>

#include <cwchar>

namespace
{
// Longer paths do not load as in-process servers anyway.
const DWORD cchLongestServer = 1024;

// The default value of InprocServer32 in this process's own registry view,
// false when the key or its value is missing or longer than the buffer.
bool ReadInprocServer(const CLSID& clsid, wchar_t (&szServer)[cchLongestServer])
{
    wchar_t szKey[64] = L"CLSID\\";
    ::StringFromGUID2(clsid, szKey + 6, 39);
    std::wcscat(szKey, L"\\InprocServer32");
    // shlwapi's reader: the launcher imports no other registry DLL.
    wchar_t szValue[cchLongestServer];
    DWORD dwType = 0, cb = sizeof(szValue);
    if (::SHRegGetValueW(HKEY_CLASSES_ROOT, szKey, nullptr,
                         SRRF_RT_REG_SZ | SRRF_RT_REG_EXPAND_SZ | SRRF_NOEXPAND, &dwType, szValue,
                         &cb) != ERROR_SUCCESS)
        return false;
    if (dwType == REG_EXPAND_SZ)
    {
        if (::ExpandEnvironmentStringsW(szValue, szServer, cchLongestServer) - 1u >=
            cchLongestServer)
            return false;
    }
    else
        std::wcscpy(szServer, szValue);

    // COM takes a quoted path without its quotes.
    wchar_t* const pszClose = szServer[0] == L'"' ? std::wcschr(szServer + 1, L'"') : nullptr;
    if (pszClose != nullptr)
    {
        *pszClose = L'\0';
        std::wmemmove(szServer, szServer + 1, static_cast<size_t>(pszClose - szServer));
    }
    return true;
}
} // namespace

void DescribeClassRegistration(const CLSID& clsid, char* szText, int cchText)
{
    const char* const pszView = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    wchar_t szServer[cchLongestServer];
    if (!ReadInprocServer(clsid, szServer))
    {
        ::wnsprintfA(szText, cchText, "%s registry view: no InprocServer32 value", pszView);
        return;
    }
    // Found as the loader would look for a bare name too; a file that is
    // there says from its headers why it does not load.
    const bool fExists = ::SearchPathW(nullptr, szServer, nullptr, 0, nullptr, nullptr) > 0;
    char szWhy[1200] = "no such file";
    if (fExists &&
        !DiagnoseDll(szServer, sizeof(void*) == 8, "this launcher", CP_ACP, szWhy, sizeof(szWhy)))
        ::lstrcpyA(szWhy, "the file exists");
    char szPath[2 * cchLongestServer];
    if (::WideCharToMultiByte(CP_ACP, 0, szServer, -1, szPath, sizeof(szPath), nullptr, nullptr) ==
        0)
        szPath[0] = '\0';
    ::wnsprintfA(szText, cchText, "%s registry view: InprocServer32 \"%s\", %s", pszView, szPath,
                 szWhy);
}
