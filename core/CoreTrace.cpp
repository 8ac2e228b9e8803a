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
HANDLE g_hTraceCopy = INVALID_HANDLE_VALUE;

// "2026-12-07 04:51:23.456 " and the record, ending in a line break, in one
// write: several copies may append to the same file.
void CopyRecord(const char* pszText)
{
    const DWORD dwLastError = ::GetLastError(); // the copy changes nothing else
    try
    {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        CText strRecord;
        FormatText(strRecord, "%04u-%02u-%02u %02u:%02u:%02u.%03u %s", now.wYear, now.wMonth,
                   now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, pszText);
        if (strRecord[strRecord.GetLength() - 1] != '\n')
            strRecord += '\n';
        DWORD cbWritten = 0;
        ::WriteFile(g_hTraceCopy, strRecord.GetString(), static_cast<DWORD>(strRecord.GetLength()),
                    &cbWritten, nullptr);
    }
    catch (...)
    {
        // No memory for the copy: the debugger output has the record.
    }
    ::SetLastError(dwLastError);
}
} // namespace

void TraceText(const char* pszText)
{
    ::OutputDebugStringA(pszText);
    if (g_hTraceCopy != INVALID_HANDLE_VALUE)
        CopyRecord(pszText);
}

bool CopyTraceToFile(const wchar_t* pszPath)
{
    const DWORD dwLastError = ::GetLastError();
    const HANDLE hFile =
        ::CreateFileW(pszPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ::SetLastError(dwLastError);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    if (g_hTraceCopy != INVALID_HANDLE_VALUE)
        ::CloseHandle(g_hTraceCopy);
    g_hTraceCopy = hFile;
    return true;
}
