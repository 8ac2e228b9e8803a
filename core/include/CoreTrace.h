// Formatting and the debugger-output trace.
#pragma once

#include "CoreText.h"

#include <cstdarg>

// Replaces strTarget with the printf-style formatted text: measures first,
// sizes the target once, formats once.
void FormatText(CText& strTarget, const char* pszFormat, ...);
void FormatTextV(CText& strTarget, const char* pszFormat, va_list args);

// The system's message text for a Win32 code or an HRESULT, untrimmed; "?" when
// the system has none.
CText GetSystemMessage(DWORD dwMessageId);
// The one call of FormatMessage: the same text as GetSystemMessage; false,
// strText untouched, when the system has none. dwLanguageId as FormatMessage
// takes it; 0 asks for the user's language with the system's fallbacks.
bool FormatSystemMessage(DWORD dwMessageId, CText& strText,
                         DWORD dwLanguageId = MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT));

// A Win32 code as an HRESULT: 0 and negative values unchanged, any other code
// becomes (code & 0xFFFF) | 0x80070000.
HRESULT HResultFromWin32(DWORD dwCode);
HRESULT HResultFromLastError();

// The last error after a failed call, as a failure that never reads as
// success: hrWithoutCode when the call left no error code (0).
inline HRESULT FailureFromLastError(HRESULT hrWithoutCode = E_FAIL)
{
    const HRESULT hr = HResultFromLastError();
    return FAILED(hr) ? hr : hrWithoutCode;
}

// One record on the debugger output, then handed to the trace copy if any.
void TraceText(const char* pszText);

// Called with every record TraceText writes, after the debugger output has it;
// nullptr: none. The copy keeps the last error.
using TraceCopyFunction = void (*)(const char* pszText);
void SetTraceCopy(TraceCopyFunction pfnCopy);
