// The explain file: every record the process writes, the tasks' included,
// appended after its wall-clock time to the file OSTRELIN_EXPLAIN names. It is
// the diagnostic of a start at logon, so it must never harm an installation:
// it refuses the launcher's own executable and configuration, and any file
// that does not hold its records; past its limit it moves to <file>.1.
#pragma once

#include "CoreText.h"

// Past this size the file is moved to <file>.1 and started anew.
const LONGLONG cbExplainFileLimit = 10LL * 1024 * 1024;

// Starts the copy to pszPath. A file that cannot be opened changes nothing;
// a refused one is named in one record.
void StartExplainFile(const wchar_t* pszPath);

// The file's path while records go there, else nullptr.
const wchar_t* GetExplainFilePath();
