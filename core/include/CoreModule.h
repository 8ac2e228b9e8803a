// Where a module of this process was loaded from.
#pragma once

#include "CoreText.h"

// The full path of hModule (nullptr: the program's own file), however long:
// the buffer grows from MAX_PATH up to the system's longest path, where the
// text is cut. Empty, with the last error set, when the system has no path.
CText GetModuleFilePath(HMODULE hModule = nullptr);
CWideText GetModuleFilePathW(HMODULE hModule = nullptr);

// The module that holds pvAddress (a function or variable of its own), or
// nullptr with the last error set; its reference count is left as it is.
HMODULE GetModuleOf(const void* pvAddress);
