#include "TaskPaths.h"

#include "CoreBSTR.h"
#include "CoreError.h"
#include "LaunchPaths.h"

#include <shlwapi.h>

namespace
{
std::wstring ExpandEnvironment(const std::wstring& strPath)
{
    const DWORD cch = ::ExpandEnvironmentStringsW(strPath.c_str(), nullptr, 0);
    CHECK_WIN32(cch > 0);
    std::wstring str(cch, L'\0');
    ::ExpandEnvironmentStringsW(strPath.c_str(), &str[0], cch);
    str.resize(str.find(L'\0'));
    return str;
}
} // namespace

std::wstring GetLiveConfigPath()
{
    // Wide, as the launcher resolves it: folders outside the ANSI code page.
    const CWideText strConfigPath = ResolveConfigPath(GetCommandLineArgument(L"%ResourceRoot%"));
    return GetFullPath(std::wstring(strConfigPath.c_str(), strConfigPath.size()));
}

std::wstring ResolveTaskPath(const std::wstring& strPath)
{
    return ResolveTaskPathFrom(GetLiveConfigPath(), strPath);
}

std::wstring ResolveTaskPathFrom(const std::wstring& strConfigPath, const std::wstring& strPath)
{
    std::wstring strResult = ExpandEnvironment(strPath);
    if (::PathIsRelativeW(strResult.c_str()))
    {
        const std::wstring strFolder = GetFullPath(strConfigPath);
        strResult = strFolder.substr(0, strFolder.rfind(L'\\') + 1) + strResult;
    }
    return GetFullPath(strResult);
}

std::wstring GetFullPath(const std::wstring& strPath)
{
    const DWORD cch = ::GetFullPathNameW(strPath.c_str(), 0, nullptr, nullptr);
    CHECK_WIN32(cch > 0);
    std::wstring str(cch, L'\0');
    const DWORD cchFull = ::GetFullPathNameW(strPath.c_str(), cch, &str[0], nullptr);
    CHECK_WIN32(cchFull > 0 && cchFull < cch);
    str.resize(cchFull);
    return str;
}
