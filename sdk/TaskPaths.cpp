#include "TaskPaths.h"

#include "CoreError.h"
#include "CoreFile.h"
#include "LaunchPaths.h"

#include <shlwapi.h>

namespace OstrelinSdk
{
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
    const CWideText strConfigPath = ResolveConfigPath(GetResourceRootValue());
    return GetFullTaskPath(std::wstring(strConfigPath.c_str(), strConfigPath.size()));
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
        const std::wstring strFolder = GetFullTaskPath(strConfigPath);
        strResult = strFolder.substr(0, strFolder.rfind(L'\\') + 1) + strResult;
    }
    return GetFullTaskPath(strResult);
}

std::wstring GetFullTaskPath(const std::wstring& strPath)
{
    const CWideText strFull = FullPathOf(strPath.c_str());
    CHECK_WIN32(!strFull.empty());
    return std::wstring(strFull.c_str(), strFull.size());
}
} // namespace OstrelinSdk
