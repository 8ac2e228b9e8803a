#include "LaunchPaths.h"

#include "CoreFile.h"

#include <cstring>
#include <cwchar>

namespace
{
const wchar_t szResourceRootName[] = L"%ResourceRoot%";
const wchar_t szConfigSuffix[] = L"\\bin\\Config.xml";
const wchar_t szParentStep[] = L"/../";

// CreateMutexA takes names of up to MAX_PATH characters.
const int cchLongestKey = MAX_PATH;
const int cchKeyHash = 16;
const int cchKeyTail = cchLongestKey - cchKeyHash - 1;

// Byte length of the character at iPos of the cch bytes at pch: 2 for a lead
// byte of the ANSI code page with a byte after it, else 1.
int CharLength(const char* pch, int cch, int iPos)
{
    return iPos + 1 < cch && ::IsDBCSLeadByte(static_cast<BYTE>(pch[iPos])) ? 2 : 1;
}

bool IsWhiteSpace(char ch)
{
    return ch != '\0' && std::strchr(" \t\n\v\f\r", ch) != nullptr;
}

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
        iTail += CharLength(strKey, strKey.GetLength(), iTail);
    if (iTail < strKey.GetLength() && strKey[iTail] == '_')
        ++iTail;

    CText strShort;
    FormatText(strShort, "%08lx%08lx_", static_cast<unsigned long>(nHash >> 32),
               static_cast<unsigned long>(nHash & 0xFFFFFFFFu));
    strShort += strKey.GetString() + iTail;
    return strShort;
}
} // namespace

CWideText GetResourceRootValue()
{
    return FindResourceRootValue(::GetCommandLineW());
}

CWideText FindResourceRootValue(const wchar_t* pszCommandLine)
{
    return FindCommandLineArgument(pszCommandLine, szResourceRootName);
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

// The rules in their order, each by whole characters of the ANSI code page, so
// that the trail byte of a double-byte character never matches '\\' or '_'.
CText MakeInstanceKey(const char* pszCommandLine)
{
    const char* const pch = pszCommandLine;
    int cch = static_cast<int>(std::strlen(pch));

    // 1. The program's folder: the text before the first ".exe" (unless that
    // starts the line), cut at its last '\' or '/' (unless that starts it).
    for (int i = 0; i < cch; i += CharLength(pch, cch, i))
    {
        if (std::strncmp(pch + i, ".exe", 4) != 0)
            continue;
        if (i > 0)
        {
            int iSeparator = 0;
            for (int j = 0; j < i; j += CharLength(pch, i, j))
                iSeparator = pch[j] == '\\' || pch[j] == '/' ? j : iSeparator;
            cch = iSeparator > 0 ? iSeparator : i;
        }
        break;
    }

    // 2. No white space at either end.
    int iBegin = cch;
    int iEnd = 0;
    for (int i = 0; i < cch; i += CharLength(pch, cch, i))
    {
        if (IsWhiteSpace(pch[i]))
            continue;
        iBegin = iBegin < i ? iBegin : i;
        iEnd = i + CharLength(pch, cch, i);
    }

    // 3. Lower case; '\', '/', '.', ' ' and '%' become '_'; '"' goes; a run of
    // '_' becomes one, and none ends the key.
    CText strKey;
    bool fUnderscoreLast = false;
    for (int i = iBegin; i < iEnd; i += CharLength(pch, iEnd, i))
    {
        if (CharLength(pch, iEnd, i) == 2)
        {
            strKey += pch[i];
            strKey += pch[i + 1];
            fUnderscoreLast = false;
            continue;
        }
        char ch = pch[i];
        if (std::strchr("\\/. %", ch) != nullptr)
            ch = '_';
        else if (!::IsDBCSLeadByte(static_cast<BYTE>(ch))) // a lead byte alone at the end stays
            ::CharLowerBuffA(&ch, 1);
        if (ch == '"' || (ch == '_' && fUnderscoreLast))
            continue;
        strKey += ch;
        fUnderscoreLast = ch == '_';
    }
    if (fUnderscoreLast)
        strKey = CText(strKey, strKey.GetLength() - 1);

    // Measured as the name the system gets: characters, not bytes.
    const int cwchKey = ::MultiByteToWideChar(CP_ACP, 0, strKey, strKey.GetLength(), nullptr, 0);
    return cwchKey > cchLongestKey ? ShortenInstanceKey(strKey) : strKey;
}

CWideText ResolveConfigPath(const CWideText& strRootValue)
{
    return ResolveConfigPathFrom(strRootValue,
                                 strRootValue.empty() ? GetModuleFilePathW() : CWideText());
}

CWideText ResolveConfigPathFrom(CWideText strRootValue, const CWideText& strModulePath)
{
    if (strRootValue.empty())
    {
        // The file name gives way to a step up from the executable's directory.
        // A path without a backslash names a file in the current directory.
        const wchar_t* const pszBackslash = std::wcsrchr(strModulePath.c_str(), L'\\');
        strRootValue = pszBackslash != nullptr
                           ? CWideText(strModulePath.c_str(),
                                       static_cast<size_t>(pszBackslash - strModulePath.c_str()))
                           : CWideText(L".");
        strRootValue += szParentStep;
    }
    strRootValue += szConfigSuffix;
    return strRootValue;
}
