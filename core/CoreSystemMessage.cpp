#include "CoreHandle.h"
#include "CoreTrace.h"

bool FormatSystemMessage(DWORD dwMessageId, CText& strText, DWORD dwLanguageId)
{
    CLocalMemory<char> text; // freed also when the copy throws
    const DWORD dwFlags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD cch = ::FormatMessageA(dwFlags, nullptr, dwMessageId, dwLanguageId,
                                       reinterpret_cast<char*>(text.AcceptHere()), 0, nullptr);
    if (cch == 0 || !text)
        return false;
    strText = CText(text.Get(), static_cast<int>(cch));
    return true;
}
