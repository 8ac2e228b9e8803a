// The debugger-output trace and the system's words for an error code.
#pragma once

#include "CoreText.h"

// The system's message text for a Win32 code or an HRESULT, untrimmed; "?" when
// the system has none.
CText GetSystemMessage(DWORD dwMessageId);
// The one call of FormatMessage: the same text as GetSystemMessage; false,
// strText untouched, when the system has none. dwLanguageId as FormatMessage
// takes it; 0 asks for the user's language with the system's fallbacks.
bool FormatSystemMessage(DWORD dwMessageId, CText& strText,
                         DWORD dwLanguageId = MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT));

// The last error as an HRESULT (HRESULT_FROM_WIN32).
inline HRESULT HResultFromLastError()
{
    return HRESULT_FROM_WIN32(::GetLastError());
}

// The last error after a failed call, as a failure that never reads as
// success: hrWithoutCode when the call left no error code (0).
inline HRESULT FailureFromLastError(HRESULT hrWithoutCode = E_FAIL)
{
    const HRESULT hr = HResultFromLastError();
    return FAILED(hr) ? hr : hrWithoutCode;
}

// printf-style into a fixed buffer, cut to fit and always terminated: for
// records that must not need the heap. The length written.
size_t FormatFixedText(char* pszBuffer, size_t cchBuffer, const char* pszFormat, ...);
// GetSystemMessage's text into a fixed buffer: untrimmed, "?" when the system
// has none or it does not fit.
void FormatSystemMessageFixed(DWORD dwMessageId, char* pszBuffer, size_t cchBuffer);

// One record on the debugger output, then handed to the trace copy if any;
// the last error is kept.
void TraceText(const char* pszText);

// Called with every record TraceText writes, after the debugger output has it;
// nullptr: none. The copy keeps the last error.
using TraceCopyFunction = void (*)(const char* pszText);
void SetTraceCopy(TraceCopyFunction pfnCopy);
