// The minidump of a crash, for the explain folder's reader: the start's file
// name with .dmp, beside it.
#pragma once

#include <windows.h>

// Writes the dump of this process at the exception of thread dwThreadId to
// pszDumpPath, a new file, with the system's dbghelp.dll, which is loaded only
// now, so that a start without a crash loads nothing more. The record's words
// for it go to pszWords: "minidump <path>", or "no minidump: <why>".
void WriteCrashDump(const wchar_t* pszDumpPath, EXCEPTION_POINTERS* pException, DWORD dwThreadId,
                    char* pszWords, size_t cchWords);
