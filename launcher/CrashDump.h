// The minidump of a crash, for the explain file's reader: <file>.dmp beside it.
#pragma once

#include "CoreText.h"

// Writes the dump of this process at the exception of thread dwThreadId with
// the system's dbghelp.dll, which is loaded only now, so that a start without
// a crash loads nothing more. The record's words for it: "minidump <path>", or
// "no minidump: <why>".
CText WriteCrashDump(const wchar_t* pszExplainFile, EXCEPTION_POINTERS* pException,
                     DWORD dwThreadId);
