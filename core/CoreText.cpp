#include "CoreText.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace
{
// Turns the standard library's allocation failure into the text layer's own.
template <class F> void WithAtlMemory(F f)
{
    try
    {
        f();
    }
    catch (const std::bad_alloc&)
    {
        AtlThrow(E_OUTOFMEMORY);
    }
}

void CheckRange(const void* p, int cch)
{
    if (cch < 0 || (p == nullptr && cch > 0))
        AtlThrow(E_INVALIDARG);
}

// A conversion that answers 0 for non-empty input failed: out of memory as far
// as the caller can tell apart.
[[noreturn]] void ThrowConversionFailure()
{
    const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    AtlThrow(FAILED(hr) ? hr : E_OUTOFMEMORY);
}
} // namespace

void AtlThrow(HRESULT hr)
{
    throw CAtlException(hr);
}

CText::CText(const char* psz)
{
    if (psz == nullptr)
        AtlThrow(E_INVALIDARG);
    WithAtlMemory([&] { m_str.assign(psz); });
}

CText::CText(const char* pch, int cch)
{
    CheckRange(pch, cch);
    WithAtlMemory([&] { m_str.assign(pch, static_cast<size_t>(cch)); });
}

CText& CText::operator+=(const char* psz)
{
    if (psz == nullptr)
        AtlThrow(E_INVALIDARG);
    WithAtlMemory([&] { m_str.append(psz); });
    return *this;
}

CText& CText::operator+=(char ch)
{
    WithAtlMemory([&] { m_str.push_back(ch); });
    return *this;
}

char* CText::GetBufferSetLength(int cch)
{
    CheckRange(this, cch);
    WithAtlMemory([&] { std::string(static_cast<size_t>(cch), '\0').swap(m_str); });
    return &m_str[0];
}

CText operator+(const CText& a, const char* b)
{
    CText strResult(a);
    strResult += b;
    return strResult;
}

CText TextFromWide(const wchar_t* pwch, int cwch, UINT uCodePage, DWORD dwFlags)
{
    CheckRange(pwch, cwch);
    CText strText;
    if (cwch == 0)
        return strText;
    const int cch =
        ::WideCharToMultiByte(uCodePage, dwFlags, pwch, cwch, nullptr, 0, nullptr, nullptr);
    if (cch == 0)
        ThrowConversionFailure();
    char* pch = strText.GetBufferSetLength(cch);
    if (::WideCharToMultiByte(uCodePage, dwFlags, pwch, cwch, pch, cch, nullptr, nullptr) != cch)
        ThrowConversionFailure();
    return strText;
}

CWideText WideFromText(const char* pch, int cch, UINT uCodePage)
{
    CheckRange(pch, cch);
    const int cwch = cch == 0 ? 0 : ::MultiByteToWideChar(uCodePage, 0, pch, cch, nullptr, 0);
    if (cch > 0 && cwch == 0)
        ThrowConversionFailure();
    CWideText str;
    WithAtlMemory([&] { str.resize(static_cast<size_t>(cwch)); });
    if (cwch > 0 && ::MultiByteToWideChar(uCodePage, 0, pch, cch, &str[0], cwch) != cwch)
        ThrowConversionFailure();
    return str;
}

void FormatTextV(CText& strTarget, const char* pszFormat, va_list args)
{
    if (pszFormat == nullptr)
        AtlThrow(E_INVALIDARG);
    va_list argsMeasure;
    va_copy(argsMeasure, args);
    const int cch = _vscprintf(pszFormat, argsMeasure);
    va_end(argsMeasure);
    if (cch < 0)
        AtlThrow(E_INVALIDARG);
    char* pszBuffer = strTarget.GetBufferSetLength(cch);
    // The runtime library's own formatter, as _vscprintf measured (see
    // CMakeLists.txt on the launcher's size).
    _vsnprintf(pszBuffer, static_cast<size_t>(cch) + 1, pszFormat, args);
}

void FormatText(CText& strTarget, const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatTextV(strTarget, pszFormat, args);
    va_end(args);
}
