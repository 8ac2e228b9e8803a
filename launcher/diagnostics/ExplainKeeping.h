// Which files of the explain folder go, apart from the folder itself, so that
// the rules can be tested on a list: the files of the newest starts stay,
// within a count and a total size, and this start's own always stays. The
// order of starts is the file system's (when each file was created), never
// the time in a name, which a clock set back or a time zone crossed would
// make lie.
#pragma once

#include "CoreText.h"

#include <windows.h>

#include <vector>

// The starts whose files a start leaves in the folder, its own included, and
// their total size (minidumps included).
const int cExplainStartsKept = 20;
const ULONGLONG cbExplainFolderKept = 100ULL * 1024 * 1024;

// A file of the folder's own name form, Ostrelin-<date>-<time>-<pid>.txt or
// .dmp; a start's files share the name before the extension.
struct CExplainFileEntry
{
    CWideText strName;
    ULONGLONG nCreated = 0; // FILETIME, as the file system keeps it
    ULONGLONG cbSize = 0;
};

// The files to delete, as indexes into files: those of every start after the newest
// cExplainStartsKept, or beyond cbExplainFolderKept counted from the newest,
// but never those of the start strOwnStem (its name before the extension).
std::vector<size_t> ChooseExplainFilesToDelete(const std::vector<CExplainFileEntry>& files,
                                               const CWideText& strOwnStem);
