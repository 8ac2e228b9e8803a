#include "ReplacementFile.h"

#include "CoreFile.h"
#include "CoreTrace.h"

namespace
{
const int nMostTemporaryNames = 100;

// The system's long form of a path, for paths of any length.
std::wstring LongPath(const std::wstring& strPath)
{
    const CWideText strLong = LongPathForm(CWideText(strPath.c_str(), strPath.size()));
    return std::wstring(strLong.c_str(), strLong.size());
}

// NUL, a console, a pipe, a Unix device: a target that exists but is no file
// on a disk.
bool IsDevice(const std::wstring& strPath)
{
    const CUniqueFileHandle hFile(
        ::CreateFileW(strPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr));
    return hFile && ::GetFileType(hFile.Get()) != FILE_TYPE_DISK;
}

// Delete on close, or not: a temporary file that outlives its writer is
// never left behind.
bool SetDeletePending(HANDLE hFile, bool fDelete)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = fDelete ? TRUE : FALSE;
    return ::SetFileInformationByHandle(hFile, FileDispositionInfo, &disposition,
                                        sizeof disposition) != FALSE;
}
} // namespace

DWORD CReplacementFile::Create(const std::wstring& strTarget)
{
    Discard();
    m_dwError = ERROR_SUCCESS;
    m_strTarget = LongPath(strTarget);
    if (IsDevice(m_strTarget))
    {
        m_hFile.Attach(::CreateFileW(m_strTarget.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        return m_hFile ? ERROR_SUCCESS : ::GetLastError();
    }
    const std::wstring strStem = strTarget + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (int i = 1; i <= nMostTemporaryNames; ++i)
    {
        const std::wstring strTemporary = LongPath(strStem + std::to_wstring(i) + L".tmp");
        m_hFile.Attach(::CreateFileW(strTemporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                     nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (m_hFile)
        {
            m_strTemporary = strTemporary;
            m_fDeletePending = SetDeletePending(m_hFile.Get(), true);
            return ERROR_SUCCESS;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return ::GetLastError();
}

bool CReplacementFile::Write(const char* pchData, size_t cbData)
{
    if (!m_hFile || m_dwError != ERROR_SUCCESS)
        return false;
    while (cbData > 0)
    {
        const DWORD cbChunk = cbData > 0x100000 ? 0x100000 : static_cast<DWORD>(cbData);
        DWORD cbWritten = 0;
        if (!::WriteFile(m_hFile.Get(), pchData, cbChunk, &cbWritten, nullptr))
        {
            Fail(::GetLastError());
            return false;
        }
        if (cbWritten == 0)
        {
            Fail(ERROR_WRITE_FAULT);
            return false;
        }
        pchData += cbWritten;
        cbData -= cbWritten;
    }
    return true;
}

DWORD CReplacementFile::Commit()
{
    if (!m_hFile)
        return m_dwError != ERROR_SUCCESS ? m_dwError : ERROR_INVALID_HANDLE;
    if (m_dwError != ERROR_SUCCESS)
        return Fail(m_dwError);
    const bool fDevice = m_strTemporary.empty();
    // A device has no buffers of a file to flush (Wine's Unix devices refuse).
    if (!fDevice && !::FlushFileBuffers(m_hFile.Get()))
        return Fail(::GetLastError());
    if (m_fDeletePending && !SetDeletePending(m_hFile.Get(), false))
        return Fail(::GetLastError());
    m_fDeletePending = false;
    // The close is the last chance for a write to fail.
    if (!::CloseHandle(m_hFile.Detach()))
        return Fail(::GetLastError());
    if (!fDevice && !::MoveFileExW(m_strTemporary.c_str(), m_strTarget.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Fail(::GetLastError());
    m_strTemporary.clear();
    return ERROR_SUCCESS;
}

void CReplacementFile::Discard()
{
    m_hFile.Close(); // a pending delete removes the temporary file here
    m_fDeletePending = false;
    if (!m_strTemporary.empty())
        ::DeleteFileW(m_strTemporary.c_str());
    m_strTemporary.clear();
}

DWORD CReplacementFile::Fail(DWORD dwError)
{
    m_dwError = dwError != ERROR_SUCCESS ? dwError : ERROR_WRITE_FAULT;
    Discard();
    return m_dwError;
}

std::string DescribeSystemError(DWORD dwError)
{
    CText strSystem;
    FormatSystemMessage(dwError, strSystem, 0); // the user's language
    std::string strMessage(strSystem.GetString(), static_cast<size_t>(strSystem.GetLength()));
    while (!strMessage.empty() && (strMessage.back() == '\n' || strMessage.back() == '\r' ||
                                   strMessage.back() == ' ' || strMessage.back() == '.'))
        strMessage.pop_back();
    return (strMessage.empty() ? std::string("unknown error") : strMessage) + " (error " +
           std::to_string(dwError) + ")";
}
