// Narrow text in the process's active ANSI code page, its conversions to and
// from UTF-16, and printf-style formatting.
#pragma once

#include <windows.h>

#include <cstdarg>
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

// Value-semantic narrow string; a null pointer is an invalid argument.
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

    CText& operator+=(const char* psz);
    CText& operator+=(char ch);

    // Direct access for formatting: a buffer of cch characters plus the
    // terminator, old content discarded.
    char* GetBufferSetLength(int cch);

    // Both spelt out: otherwise a comparison would compare the pointers that
    // the conversion above gives.
    friend bool operator==(const CText& a, const CText& b) { return a.m_str == b.m_str; }
    friend bool operator!=(const CText& a, const CText& b) { return a.m_str != b.m_str; }

private:
    std::string m_str;
};

CText operator+(const CText& a, const char* b);

// UTF-16 text, for paths that the ANSI code page cannot spell. Traits of its
// own keep libstdc++'s prebuilt std::wstring out of the launcher.
struct CWideTraits : std::char_traits<wchar_t>
{
};
using CWideText = std::basic_string<wchar_t, CWideTraits>;

// UTF-16 to narrow text in the given code page; characters the code page lacks
// become its default character.
CText TextFromWide(const wchar_t* pwch, int cwch, UINT uCodePage = CP_THREAD_ACP,
                   DWORD dwFlags = 0);
// Narrow text of the given code page to UTF-16.
CWideText WideFromText(const char* pch, int cch, UINT uCodePage = CP_ACP);

// A wide path as the ANSI code page spells it, as the trace shows paths.
inline CText AnsiFromWide(const CWideText& str)
{
    return TextFromWide(str.c_str(), static_cast<int>(str.size()), CP_ACP);
}

// Replaces strTarget with the printf-style formatted text: measures first,
// sizes the target once, formats once.
void FormatText(CText& strTarget, const char* pszFormat, ...);
void FormatTextV(CText& strTarget, const char* pszFormat, va_list args);
