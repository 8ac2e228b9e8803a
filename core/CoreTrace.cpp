#include "CoreTrace.h"

#include "CoreHandle.h"

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
    ::OutputDebugStringA(pszText);
    if (g_pfnTraceCopy != nullptr)
        g_pfnTraceCopy(pszText);
}

void SetTraceCopy(TraceCopyFunction pfnCopy)
{
    g_pfnTraceCopy = pfnCopy;
}
