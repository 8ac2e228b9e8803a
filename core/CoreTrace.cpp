#include "CoreTrace.h"

#include "CoreHandle.h"

#include <cstdio>

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
    // The runtime library's own formatter, as _vscprintf measured: plain
    // vsprintf would be mingw-w64's replacement here (libstdc++ switches it
    // on), some 25 KB of the launcher for the same texts.
    _vsnprintf(pszBuffer, static_cast<size_t>(cch) + 1, pszFormat, args);
}

void FormatText(CText& strTarget, const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatTextV(strTarget, pszFormat, args);
    va_end(args);
}

bool FormatSystemMessage(DWORD dwMessageId, CText& strText, DWORD dwLanguageId)
{
    CLocalMemory<char> text; // freed also when the copy throws
    const DWORD dwFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                          FORMAT_MESSAGE_FROM_SYSTEM; // 0x1300
    const DWORD cch = ::FormatMessageA(dwFlags, nullptr, dwMessageId, dwLanguageId,
                                       reinterpret_cast<char*>(text.AcceptHere()), 0, nullptr);
    if (cch == 0 || !text)
        return false;
    strText = CText(text.Get(), static_cast<int>(cch));
    return true;
}

CText GetSystemMessage(DWORD dwMessageId)
{
    CText strText("?");
    FormatSystemMessage(dwMessageId, strText);
    return strText;
}

HRESULT HResultFromWin32(DWORD dwCode)
{
    const HRESULT hr = static_cast<HRESULT>(dwCode);
    if (hr <= 0)
        return hr;
    return static_cast<HRESULT>((dwCode & 0xFFFF) | 0x80070000);
}

HRESULT HResultFromLastError()
{
    return HResultFromWin32(::GetLastError());
}

namespace
{
TraceCopyFunction g_pfnTraceCopy = nullptr;
} // namespace

void TraceText(const char* pszText)
{
    ::OutputDebugStringA(pszText);
    if (g_pfnTraceCopy != nullptr)
        g_pfnTraceCopy(pszText);
}

void SetTraceCopy(TraceCopyFunction pfnCopy)
{
    g_pfnTraceCopy = pfnCopy;
}
