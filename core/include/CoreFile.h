// A file read in one piece while others may go on reading and writing it.
#pragma once

#include "CoreHandle.h"
#include "CoreText.h"

class CSharedReadFile
{
public:
    // S_OK, or the last error as an HRESULT. A path of MAX_PATH characters or
    // more is opened in its full \\?\ form.
    HRESULT Open(const wchar_t* pszPath);
    // A path of the ANSI code page.
    HRESULT Open(const char* pszPath);
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

// The form of strPath that opens whatever its length: unchanged below
// MAX_PATH, else its full path behind \\?\ (\\?\UNC\ for a share).
CWideText LongPathForm(const CWideText& strPath);
