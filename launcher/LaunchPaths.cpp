#include "LaunchPaths.h"

#include "CoreModule.h"
#include "CoreTrace.h"

#include <cwchar>

namespace
{
const char szConfigSuffix[] = "\\bin\\Config.xml";
const char szParentStep[] = "/../";
const wchar_t wszConfigSuffix[] = L"\\bin\\Config.xml";
const wchar_t wszParentStep[] = L"/../";

// CreateMutexA takes names of up to MAX_PATH characters.
const int cchLongestKey = MAX_PATH;
const int cchKeyHash = 16;
const int cchKeyTail = cchLongestKey - cchKeyHash - 1;

// The hash of the whole key, '_', and as many of its last characters as fit,
// starting on a character boundary. Keeps the key's rules: no capital, no
// "__", no trailing '_'.
CText ShortenInstanceKey(const CText& strKey)
{
    unsigned long long nHash = 14695981039346656037ull; // FNV-1a, 64 bits
    for (int i = 0; i < strKey.GetLength(); ++i)
    {
        nHash ^= static_cast<unsigned char>(strKey[i]);
        nHash *= 1099511628211ull;
    }
    int iTail = 0;
    while (strKey.GetLength() - iTail > cchKeyTail)
        iTail += strKey.CharLength(iTail);
    if (iTail < strKey.GetLength() && strKey[iTail] == '_')
        ++iTail;

    CText strShort;
    FormatText(strShort, "%08lx%08lx_", static_cast<unsigned long>(nHash >> 32),
               static_cast<unsigned long>(nHash & 0xFFFFFFFFu));
    strShort += strKey.Mid(iTail, -1);
    return strShort;
}
} // namespace

CText GetCommandLineArgument(const char* pszName)
{
    return FindCommandLineArgument(::GetCommandLineA(), pszName);
}

CWideText GetCommandLineArgument(const wchar_t* pszName)
{
    return FindCommandLineArgument(::GetCommandLineW(), pszName);
}

CWideText FindCommandLineArgument(const wchar_t* pszCommandLine, const wchar_t* pszName)
{
    // UTF-16 needs no care for double-byte characters: plain searches.
    const size_t cchName = std::wcslen(pszName);
    for (const wchar_t* pszAt = std::wcsstr(pszCommandLine, pszName); pszAt != nullptr;
         pszAt = std::wcsstr(pszAt + 1, pszName))
    {
        if (pszAt == pszCommandLine || pszAt[-1] != L' ' || pszAt[cchName] != L'=')
            continue;

        const wchar_t* pszValue = pszAt + cchName + 1;
        wchar_t chClose = L' ';
        if (*pszValue == L'"' || *pszValue == L'\'')
            chClose = *pszValue++;

        const wchar_t* pszClose = std::wcschr(pszValue, chClose);
        if (pszClose != nullptr)
            return CWideText(pszValue, static_cast<size_t>(pszClose - pszValue));
        return chClose == L' ' ? CWideText(pszValue) : CWideText();
    }
    return CWideText();
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
    // Measured as the name the system gets: characters, not bytes.
    const int cwchKey = ::MultiByteToWideChar(CP_ACP, 0, strKey, strKey.GetLength(), nullptr, 0);
    return cwchKey > cchLongestKey ? ShortenInstanceKey(strKey) : strKey;
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

CWideText ResolveConfigPath(CWideText strRootValue)
{
    if (strRootValue.empty())
        return ResolveConfigPathFrom(strRootValue, GetModuleFilePathW());
    return ResolveConfigPathFrom(strRootValue, CWideText());
}

CWideText ResolveConfigPathFrom(CWideText strRootValue, const CWideText& strModulePath)
{
    if (strRootValue.empty())
    {
        const wchar_t* const pszBackslash = std::wcsrchr(strModulePath.c_str(), L'\\');
        strRootValue = pszBackslash != nullptr
                           ? CWideText(strModulePath.c_str(),
                                       static_cast<size_t>(pszBackslash - strModulePath.c_str()))
                           : CWideText(L".");
        strRootValue += wszParentStep;
    }
    strRootValue += wszConfigSuffix;
    return strRootValue;
}
