#include "CoreTrace.h"

#include "CoreHandle.h"

#include <cstdarg>
#include <cstdio>

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

namespace
{
TraceCopyFunction g_pfnTraceCopy = nullptr;
} // namespace

void TraceText(const char* pszText)
{
    const CLastErrorKeeper keeper; // OutputDebugStringA may change it
    ::OutputDebugStringA(pszText);
    if (g_pfnTraceCopy != nullptr)
        g_pfnTraceCopy(pszText);
}

void SetTraceCopy(TraceCopyFunction pfnCopy)
{
    g_pfnTraceCopy = pfnCopy;
}

size_t FormatFixedText(char* pszBuffer, size_t cchBuffer, const char* pszFormat, ...)
{
    if (cchBuffer == 0)
        return 0;
    va_list args;
    va_start(args, pszFormat);
    // The runtime's formatter leaves a cut text unterminated and says -1.
    const int cch = _vsnprintf(pszBuffer, cchBuffer - 1, pszFormat, args);
    va_end(args);
    const size_t cchWritten = cch < 0 ? cchBuffer - 1 : static_cast<size_t>(cch);
    pszBuffer[cchWritten] = '\0';
    return cchWritten;
}

void FormatSystemMessageFixed(DWORD dwMessageId, char* pszBuffer, size_t cchBuffer)
{
    const DWORD cch =
        ::FormatMessageA(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                         dwMessageId, MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT), pszBuffer,
                         static_cast<DWORD>(cchBuffer), nullptr);
    if (cch == 0)
        FormatFixedText(pszBuffer, cchBuffer, "?");
}
