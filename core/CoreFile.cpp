#include "CoreFile.h"

#include "CoreTrace.h"

namespace
{
// A failed call that left no error code must still read as a failure.
HRESULT LastErrorAsFailure()
{
    const HRESULT hr = HResultFromLastError();
    return FAILED(hr) ? hr : E_FAIL;
}
} // namespace

CSharedReadFile::~CSharedReadFile()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
}

HRESULT CSharedReadFile::Open(const char* pszPath)
{
    m_hFile = ::CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile != INVALID_HANDLE_VALUE)
        return S_OK;
    return LastErrorAsFailure();
}

ULONGLONG CSharedReadFile::GetSize() const
{
    LARGE_INTEGER size{};
    if (m_hFile == INVALID_HANDLE_VALUE || !::GetFileSizeEx(m_hFile, &size) || size.QuadPart < 0)
        return 0;
    return static_cast<ULONGLONG>(size.QuadPart);
}

HRESULT CSharedReadFile::Read(char* pBuffer, DWORD nSize)
{
    DWORD cbRead = 0;
    if (!::ReadFile(m_hFile, pBuffer, nSize, &cbRead, nullptr))
        return LastErrorAsFailure();
    if (cbRead < nSize)
        return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
    return S_OK;
}
