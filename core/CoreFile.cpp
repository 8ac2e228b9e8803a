#include "CoreFile.h"

#include "CoreTrace.h"

#include <cwchar>

namespace
{
// MAX_PATH first; a longer path (long-path aware systems) grows the buffer.
const DWORD nLongestPath = 0x8000;
} // namespace

CWideText FullPathOf(const wchar_t* pszPath)
{
    const DWORD cch = ::GetFullPathNameW(pszPath, 0, nullptr, nullptr);
    CWideText strFull(cch, L'\0');
    const DWORD cchFull = cch == 0 ? 0 : ::GetFullPathNameW(pszPath, cch, &strFull[0], nullptr);
    strFull.resize(cchFull < cch ? cchFull : 0); // shrinks: the last error stays
    return strFull;
}

CWideText GetModuleFilePathW(HMODULE hModule)
{
    CWideText strPath;
    for (DWORD nSize = MAX_PATH;; nSize *= 2)
    {
        strPath.resize(nSize);
        const DWORD cch = ::GetModuleFileNameW(hModule, &strPath[0], nSize);
        if (cch < nSize || nSize >= nLongestPath)
        {
            strPath.resize(cch < nSize ? cch : nSize); // shrinks: the last error stays
            return strPath;
        }
    }
}

CWideText LongPathForm(const CWideText& strPath)
{
    if (strPath.size() < MAX_PATH || std::wcsncmp(strPath.c_str(), L"\\\\?\\", 4) == 0)
        return strPath;
    // The prefix turns off the system's normalising: do it first.
    const CWideText strFull = FullPathOf(strPath.c_str());
    if (strFull.empty())
        return strPath;
    if (std::wcsncmp(strFull.c_str(), L"\\\\", 2) != 0)
        return L"\\\\?\\" + strFull; // C:\...
    if (strFull[2] == L'?' || strFull[2] == L'.')
        return strFull;                       // a device path already
    return L"\\\\?\\UNC" + strFull.substr(1); // \\server\share\...
}

HRESULT CSharedReadFile::Open(const wchar_t* pszPath)
{
    *m_hFile.AcceptHere() = ::CreateFileW(LongPathForm(pszPath).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile)
        return S_OK;
    return FailureFromLastError();
}

ULONGLONG CSharedReadFile::GetSize() const
{
    LARGE_INTEGER size{};
    if (!m_hFile || !::GetFileSizeEx(m_hFile.Get(), &size) || size.QuadPart < 0)
        return 0;
    return static_cast<ULONGLONG>(size.QuadPart);
}

HRESULT CSharedReadFile::Read(char* pBuffer, DWORD nSize)
{
    DWORD cbRead = 0;
    if (!::ReadFile(m_hFile.Get(), pBuffer, nSize, &cbRead, nullptr))
        return FailureFromLastError();
    if (cbRead < nSize)
        return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
    return S_OK;
}

bool IsSameFile(HANDLE hFile, const wchar_t* pszPath)
{
    const CUniqueFileHandle hOther(::CreateFileW(
        LongPathForm(pszPath).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION file, other;
    return hOther && ::GetFileInformationByHandle(hFile, &file) &&
           ::GetFileInformationByHandle(hOther.Get(), &other) &&
           file.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           file.nFileIndexHigh == other.nFileIndexHigh && file.nFileIndexLow == other.nFileIndexLow;
}
