#include "LaunchPaths.h"

namespace
{
const char szConfigSuffix[] = "\\bin\\Config.xml";
const char szParentStep[] = "/../";
} // namespace

CText GetCommandLineArgument(const char* pszName)
{
    return FindCommandLineArgument(::GetCommandLineA(), pszName);
}

CText FindCommandLineArgument(const char* pszCommandLine, const char* pszName)
{
    const CText strLine(pszCommandLine);
    // The name with the blank before it, found as whole characters: the second
    // byte of a double-byte character is never that blank.
    const CText strBlankName = CText(" ") + pszName;
    const int cchBlankName = strBlankName.GetLength();
    for (int iBlank = strLine.Find(strBlankName); iBlank >= 0;
         iBlank = strLine.Find(strBlankName, iBlank + 1))
    {
        const int iEquals = iBlank + cchBlankName;
        if (iEquals >= strLine.GetLength() || strLine[iEquals] != '=')
            continue;

        int iValue = iEquals + 1;
        char chClose = ' ';
        if (iValue < strLine.GetLength() && (strLine[iValue] == '"' || strLine[iValue] == '\''))
            chClose = strLine[iValue++];

        const char szClose[] = {chClose, '\0'};
        const int iClose = strLine.Find(szClose, iValue);
        if (iClose >= 0)
            return strLine.Mid(iValue, iClose - iValue);
        return chClose == ' ' ? strLine.Mid(iValue, -1) : CText();
    }
    return CText();
}

CText MakeInstanceKey(const char* pszCommandLine)
{
    CText strKey(pszCommandLine);

    const int iMarker = strKey.Find(".exe");
    if (iMarker > 0)
    {
        strKey = strKey.Left(iMarker);
        const int iBackslash = strKey.ReverseFind('\\');
        const int iSlash = strKey.ReverseFind('/');
        const int iSeparator = iBackslash > iSlash ? iBackslash : iSlash;
        if (iSeparator > 0)
            strKey = strKey.Left(iSeparator);
    }

    strKey.Trim();
    strKey.MakeLower();
    for (char ch : {'\\', '/', '.', ' ', '%'})
        strKey.Replace(ch, '_');
    strKey.Remove('"');
    strKey.TrimRight("_");
    while (strKey.Replace("__", "_") > 0)
    {
    }
    return strKey;
}

CText ResolveConfigPath(CText strRootValue)
{
    if (strRootValue.IsEmpty())
        return ResolveConfigPathFrom(strRootValue, GetModulePath());
    return ResolveConfigPathFrom(strRootValue, CText());
}

CText ResolveConfigPathFrom(CText strRootValue, const CText& strModulePath)
{
    if (strRootValue.IsEmpty())
    {
        // The file name gives way to a step up from the executable's directory.
        // A path without a backslash names a file in the current directory.
        const int iBackslash = strModulePath.ReverseFind('\\');
        strRootValue = iBackslash >= 0 ? strModulePath.Left(iBackslash) : CText(".");
        strRootValue += szParentStep;
    }
    strRootValue += szConfigSuffix;
    return strRootValue;
}

CText GetModulePath()
{
    // MAX_PATH first; a longer path (long-path aware systems) grows the buffer.
    const DWORD nLongestPath = 0x8000;
    CText strPath;
    for (DWORD nSize = MAX_PATH;; nSize *= 2)
    {
        char* szBuf = strPath.GetBufferSetLength(static_cast<int>(nSize));
        const DWORD cch = ::GetModuleFileNameA(nullptr, szBuf, nSize);
        if (cch < nSize || nSize >= nLongestPath)
            return CText(szBuf, static_cast<int>(cch < nSize ? cch : nSize));
    }
}
