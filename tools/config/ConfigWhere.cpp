#include "ConfigWhere.h"

#include "ConfigCheck.h"
#include "ConfigFiles.h"
#include "CoreFile.h"
#include "LaunchPaths.h"
#include "WideText.h"

#include <windows.h>

namespace
{
// What GetModuleFileName gives the launcher: its path made full.
std::wstring FullPath(const std::wstring& strPath)
{
    const CWideText strFull = FullPathOf(strPath.c_str());
    return strFull.empty() ? strPath : std::wstring(strFull.c_str(), strFull.size());
}

std::string Utf8(const CWideText& strText)
{
    return TextFrom(std::wstring(strText.c_str(), strText.size()), CP_UTF8);
}

// True when the command line is the launcher's path alone, quoted or not.
bool HoldsOnly(const std::wstring& strCommandLine, const std::wstring& strLauncher)
{
    const size_t iFirst = strCommandLine.find_first_not_of(L" \t");
    if (iFirst == std::wstring::npos)
        return true;
    std::wstring strLine =
        strCommandLine.substr(iFirst, strCommandLine.find_last_not_of(L" \t") + 1 - iFirst);
    if (strLine.size() >= 2 && strLine.front() == L'"' && strLine.back() == L'"')
        strLine = strLine.substr(1, strLine.size() - 2);
    return strLine == strLauncher;
}
} // namespace

int RunWhere(const std::wstring& strLauncher, const wchar_t* pszCommandLine, bool fStrict)
{
    const std::wstring strModulePath = FullPath(strLauncher);
    const bool fExists = ::GetFileAttributesW(strModulePath.c_str()) != INVALID_FILE_ATTRIBUTES;
    Print(stdout, "launcher: %s%s\n", TextFrom(strModulePath, CP_UTF8).c_str(),
          fExists ? "" : " (no such file)");
    Print(stdout, "command line: %s\n", TextFrom(pszCommandLine, CP_UTF8).c_str());

    // The launcher's own steps, in its order: the key from the narrow command
    // line, the root and the configuration from the wide one.
    const CText strKey = MakeInstanceKey(TextFrom(pszCommandLine, CP_ACP).c_str());
    const CWideText strRootValue = FindResourceRootValue(pszCommandLine);
    if (strRootValue.empty())
        Print(stdout, "%%ResourceRoot%%: none, so the root is the folder above the launcher's\n");
    // Support often types the launcher alone, where the shortcut says more.
    if (HoldsOnly(pszCommandLine, strLauncher))
        Print(stdout, "note: this is the answer for a start without arguments; for the start "
                      "a shortcut makes, give its whole target after \"where\"\n");
    else
        Print(stdout, "%%ResourceRoot%%: %s\n", Utf8(strRootValue).c_str());
    Print(stdout, "instance key: %s\n", Utf8FromAnsi(strKey.GetString()).c_str());
    const CWideText strConfig =
        ResolveConfigPathFrom(strRootValue, CWideText(strModulePath.c_str(), strModulePath.size()));
    const int nExitCode = RunCheck(std::wstring(strConfig.c_str(), strConfig.size()), fStrict,
                                   strModulePath, strKey.GetString());
    // Without its launcher nothing starts: never a success.
    return fExists || nExitCode != 0 ? nExitCode : 1;
}
