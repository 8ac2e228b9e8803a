// The explained run, on request, through the environment variable
// OSTRELIN_EXPLAIN (blanks around the value ignored). Unset, empty, "0",
// "false", "off", "no" (any letter case): the launcher writes what it always
// wrote. "1": it also writes "Ostrelin: ..." records that say what it did and
// why. Any other value names a folder: the same, and every record the process
// writes also goes, with its wall-clock time, into a new file there
// (ExplainFolder.h).
#pragma once

#include "CoreText.h"

// Reads the variable; once, at start-up.
void StartExplainedRun();
bool IsExplaining();

// One "Ostrelin: <text>" record when explaining; the last error is kept.
void Explain(const char* pszFormat, ...);

// The performance counter when explaining, else 0; and the milliseconds since
// such a value, "12.3".
LONGLONG ExplainClock();
CText ExplainMilliseconds(LONGLONG nStart);
