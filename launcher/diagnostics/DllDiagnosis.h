// Why a task DLL that exists cannot be loaded, read from its headers and
// those of the DLLs it imports as plain data: none of their code runs.
#pragma once

#include <windows.h>

// Writes into szText (cchText characters, cut to fit; text in code page
// nCodePage) why a loader of the given bitness, pszLoader ("this launcher"),
// cannot load the file at pszPath: a folder, not a DLL, a DLL of the other
// bitness, an imported DLL that is not found where the loader looks (named,
// with those folders) or that lacks an imported function, the same found a
// few DLLs down the chain. Imports are followed only for a loader of this
// process's bitness. False, and szText empty, when the headers show nothing
// wrong or there is no such file.
bool DiagnoseDll(const wchar_t* pszPath, bool f64Loader, const char* pszLoader, UINT nCodePage,
                 char* szText, int cchText);
