// Files and paths: a file read in one piece while others may go on reading and
// writing it, the identity of a file, the full and the long form of a path,
// and the path of a module.
#pragma once

#include "CoreHandle.h"
#include "CoreText.h"

class CSharedReadFile
{
public:
    // S_OK, or the last error as an HRESULT. A path of MAX_PATH characters or
    // more is opened in its full \\?\ form.
    HRESULT Open(const wchar_t* pszPath);
    // The whole size; 0 when it cannot be read.
    ULONGLONG GetSize() const;
    // One read of exactly nSize bytes: S_OK, the last error as an HRESULT, or
    // HRESULT_FROM_WIN32(ERROR_HANDLE_EOF) when fewer bytes arrive.
    HRESULT Read(char* pBuffer, DWORD nSize);

private:
    CUniqueFileHandle m_hFile;
};

// True when pszPath names the file that hFile holds, by whatever name: the
// same volume and file index. False when either cannot be looked at.
bool IsSameFile(HANDLE hFile, const wchar_t* pszPath);

// The full form of pszPath ("." and ".." resolved, '/' as '\', no file system
// access); empty, with the last error set, when the system gives none.
CWideText FullPathOf(const wchar_t* pszPath);

// The form of strPath that opens whatever its length: unchanged below
// MAX_PATH, else its full path behind \\?\ (\\?\UNC\ for a share).
CWideText LongPathForm(const CWideText& strPath);

// The full path of hModule (nullptr: the program's own file), however long:
// the buffer grows from MAX_PATH up to the system's longest path, where the
// text is cut. Empty, with the last error set, when the system has no path.
CWideText GetModuleFilePathW(HMODULE hModule = nullptr);
