#include "ConfigWhere.h"

#include "ConfigCheck.h"
#include "LaunchPaths.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace
{
// What GetModuleFileName gives the launcher: its path made full.
CText FullPath(const char* pszPath)
{
    std::vector<char> buffer(MAX_PATH);
    DWORD cch =
        ::GetFullPathNameA(pszPath, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (cch >= buffer.size())
    {
        buffer.resize(cch);
        cch = ::GetFullPathNameA(pszPath, cch, buffer.data(), nullptr);
    }
    return cch > 0 && cch < buffer.size() ? CText(buffer.data(), static_cast<int>(cch))
                                          : CText(pszPath);
}
} // namespace

int RunWhere(const char* pszLauncher, const char* pszCommandLine, bool fStrict)
{
    const CText strModulePath = FullPath(pszLauncher);
    const bool fExists = ::GetFileAttributesA(strModulePath) != INVALID_FILE_ATTRIBUTES;
    std::printf("launcher: %s%s\n", strModulePath.GetString(), fExists ? "" : " (no such file)");
    std::printf("command line: %s\n", pszCommandLine);

    // The launcher's own steps, in its order.
    const CText strKey = MakeInstanceKey(pszCommandLine);
    const CText strRootValue = FindCommandLineArgument(pszCommandLine, "%ResourceRoot%");
    if (strRootValue.IsEmpty())
        std::printf("%%ResourceRoot%%: none, so the root is the folder above the launcher's\n");
    else
        std::printf("%%ResourceRoot%%: %s\n", strRootValue.GetString());
    std::printf("instance key: %s\n", strKey.GetString());
    return RunCheck(ResolveConfigPathFrom(strRootValue, strModulePath), fStrict, strModulePath);
}
