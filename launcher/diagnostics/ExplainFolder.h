// The explain folder: each start writes one new file there,
// Ostrelin-<yyyymmdd>-<hhmmss>-<process id>.txt, that holds every record of
// the process, the tasks' included, each after its wall-clock time. It is the
// diagnostic of a start at logon, so it never harms what it finds: it opens no
// existing file for writing and reads nothing the user named; it keeps the
// files of the newest starts and deletes only older files of its own name.
#pragma once

#include "ExplainKeeping.h"

#include <windows.h>

// One file stops at this size, with a last record saying so.
const LONGLONG cbExplainFileLimit = 10LL * 1024 * 1024;

// Makes pszFolder absolute (from the current folder now), creates it with its
// parents, creates this start's file and sends every record there. False,
// after one record on the debugger output saying why, when no file can be
// made there: the start then goes on as without the variable.
bool StartExplainFolder(const wchar_t* pszFolder);

// Where this start's minidump goes (its file's name with .dmp) while records
// go to a file, else nullptr. Made at start-up: the crash path needs no heap.
const wchar_t* GetExplainDumpPath();

// The records that follow are the start's last (its end, a crash, an abort):
// they may use the room kept for them in a file that is full otherwise. No
// heap: the crash path calls it.
void UseExplainReserve();
