// Narrow text in the process's active ANSI code page.
#pragma once

#include <windows.h>

#include <string>

// The text layer's own failure (invalid argument, exhausted memory). It lies
// outside the CCoreError family on purpose: nothing in the launcher catches it.
class CAtlException
{
public:
    explicit CAtlException(HRESULT hr) : m_hr(hr) {}
    operator HRESULT() const { return m_hr; }

    HRESULT m_hr;
};

[[noreturn]] void AtlThrow(HRESULT hr);

// Value-semantic narrow string. Every search, replacement and trim steps by
// whole characters of the active code page, so the trail byte of a double-byte
// character never matches a single-byte character such as '\\' or '_'.
class CText
{
public:
    CText() = default;
    CText(const char* psz);
    CText(const char* pch, int cch);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    const char* GetString() const { return m_str.c_str(); }
    operator const char*() const { return m_str.c_str(); }

    // Byte position of the first occurrence of pszSub starting on a character
    // boundary at or after iStart, or -1.
    int Find(const char* pszSub, int iStart = 0) const;
    // Byte position of the last character equal to ch, or -1.
    int ReverseFind(char ch) const;
    CText Left(int cch) const;
    CText Mid(int iFirst, int cch) const;

    CText& Trim();
    CText& TrimRight(const char* pszChars);
    CText& MakeLower();
    int Replace(char chOld, char chNew);
    int Replace(const char* pszOld, const char* pszNew);
    int Remove(char ch);

    CText& operator+=(const char* psz);
    CText& operator+=(char ch);

    // Direct access for formatting: a buffer of at least cchMin characters plus
    // the terminator, old content discarded; then the final length.
    char* GetBufferSetLength(int cch);

    // Byte length of the character that starts at iPos (1 or 2).
    int CharLength(int iPos) const;

    friend bool operator==(const CText& a, const CText& b) { return a.m_str == b.m_str; }
    friend bool operator!=(const CText& a, const CText& b) { return a.m_str != b.m_str; }

private:
    std::string m_str;
};

CText operator+(const CText& a, const char* b);

// UTF-16 text, for paths that the ANSI code page cannot spell. A traits type
// of its own keeps libstdc++'s prebuilt std::wstring (some 50 KB) out of the
// launcher: only the members in use are compiled in.
struct CWideTraits : std::char_traits<wchar_t>
{
};
using CWideText = std::basic_string<wchar_t, CWideTraits>;
