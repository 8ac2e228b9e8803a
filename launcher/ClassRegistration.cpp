#include "ClassRegistration.h"

#include <shlwapi.h>

#include <cwchar>

namespace
{
// The default value of InprocServer32 in this process's own registry view,
// false when the key or its value is missing.
bool ReadInprocServer(const CLSID& clsid, CWideText& strServer)
{
    wchar_t szKey[64] = L"CLSID\\";
    ::StringFromGUID2(clsid, szKey + 6, 39);
    std::wcscat(szKey, L"\\InprocServer32");
    // shlwapi's reader: the launcher imports no other registry DLL.
    const SRRF dwFlags = SRRF_RT_REG_SZ | SRRF_RT_REG_EXPAND_SZ | SRRF_NOEXPAND;
    DWORD dwType = 0, cb = 0;
    if (::SHRegGetValueW(HKEY_CLASSES_ROOT, szKey, nullptr, dwFlags, &dwType, nullptr, &cb) !=
        ERROR_SUCCESS)
        return false;
    CWideText strValue(cb / sizeof(wchar_t) + 1, L'\0');
    if (::SHRegGetValueW(HKEY_CLASSES_ROOT, szKey, nullptr, dwFlags, &dwType, &strValue[0], &cb) !=
        ERROR_SUCCESS)
        return false;
    strValue.resize(std::wcslen(strValue.c_str()));

    if (dwType == REG_EXPAND_SZ)
    {
        const DWORD cch = ::ExpandEnvironmentStringsW(strValue.c_str(), nullptr, 0);
        CWideText strExpanded(cch, L'\0');
        if (cch > 0 && ::ExpandEnvironmentStringsW(strValue.c_str(), &strExpanded[0], cch) == cch)
            strValue = CWideText(strExpanded.c_str());
    }
    // COM takes a quoted path without its quotes.
    const wchar_t* psz = strValue.c_str();
    const wchar_t* pszClose = psz[0] == L'"' ? std::wcschr(psz + 1, L'"') : nullptr;
    strServer = pszClose != nullptr ? CWideText(psz + 1, static_cast<size_t>(pszClose - psz - 1))
                                    : strValue;
    return true;
}
} // namespace

CText DescribeClassRegistration(const CLSID& clsid)
{
    const char* const pszView = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    CWideText strServer;
    CText strText;
    if (!ReadInprocServer(clsid, strServer))
    {
        FormatText(strText, "%s registry view: no InprocServer32 key", pszView);
        return strText;
    }
    // Found as the loader would look for a bare name too.
    const bool fExists =
        ::SearchPathW(nullptr, strServer.c_str(), nullptr, 0, nullptr, nullptr) > 0;
    FormatText(strText, "%s registry view: InprocServer32 \"%s\", %s", pszView,
               AnsiFromWide(strServer).GetString(), fExists ? "the file exists" : "no such file");
    return strText;
}
