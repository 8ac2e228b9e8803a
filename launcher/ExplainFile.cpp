#include "ExplainFile.h"

#include "CoreText.h"
#include "CoreFile.h"
#include "CoreHandle.h"
#include "CoreTrace.h"
#include "Explain.h"
#include "LaunchPaths.h"

#include <cstring>
#include <utility>

namespace
{
// How every record of the file starts; '0' stands for any digit.
const char szRecordForm[] = "0000-00-00 00:00:00.000 ";
// What OutputDebugStringA raises (DBG_PRINTEXCEPTION_C); a task's records
// reach the file only this way.
const DWORD dwDebugOutputException = 0x40010006;
// Other copies may append, read and move the file at the same time.
const DWORD dwShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

CWideText g_strPath;
CUniqueFileHandle g_hFile;
CRITICAL_SECTION g_csFile; // tasks may write from threads of their own
// The record the exception handler copied last: TraceText then hands the same
// record over, and it must not be written twice.
const char* g_pszCopied = nullptr;
DWORD g_dwCopiedThread = 0;

CWideText GetConfigPath()
{
    return ResolveConfigPath(GetCommandLineArgument(L"%ResourceRoot%"));
}

// Why the existing file must take no records, or nullptr.
const char* FindRefusal(HANDLE hFile)
{
    if (IsSameFile(hFile, GetModuleFilePathW().c_str()))
        return "it is the launcher itself";
    if (IsSameFile(hFile, GetConfigPath().c_str()))
        return "it is the launcher's configuration";
    char szStart[sizeof(szRecordForm) - 1];
    DWORD cbRead = 0;
    if (!::ReadFile(hFile, szStart, sizeof(szStart), &cbRead, nullptr))
        return "it cannot be read";
    if (cbRead == 0)
        return nullptr;
    bool fRecord = cbRead == sizeof(szStart);
    for (DWORD i = 0; fRecord && i < cbRead; ++i)
        fRecord = szRecordForm[i] == '0' ? szStart[i] >= '0' && szStart[i] <= '9'
                                         : szStart[i] == szRecordForm[i];
    return fRecord ? nullptr : "it holds something other than explained records";
}

HANDLE OpenForAppend(const CWideText& strPath)
{
    return ::CreateFileW(strPath.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, dwShareAll,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Past the limit the file becomes <file>.1. Where another copy moved it
// first, this handle holds <file>.1 and only the new file is opened.
void RotateIfFull(DWORD cbNext)
{
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(g_hFile.Get(), &size) || size.QuadPart == 0 ||
        size.QuadPart + cbNext <= cbExplainFileLimit)
        return;
    const bool fStillThere = IsSameFile(g_hFile.Get(), g_strPath.c_str());
    g_hFile.Close();
    // A file that cannot be moved takes no more: it never grows without bound.
    if (!fStillThere ||
        ::MoveFileExW(g_strPath.c_str(), (g_strPath + L".1").c_str(), MOVEFILE_REPLACE_EXISTING))
        g_hFile.Attach(OpenForAppend(g_strPath));
}

// "2026-12-07 04:51:23.456 " and the record, ending in a line break, in one
// write: several copies may append to the same file. Under the lock.
void AppendRecord(const char* pchText, size_t cchText)
{
    const DWORD dwLastError = ::GetLastError(); // the copy changes nothing else
    try
    {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        CText strRecord;
        FormatText(strRecord, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
                   now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
        strRecord += CText(pchText, static_cast<int>(cchText));
        if (strRecord[strRecord.GetLength() - 1] != '\n')
            strRecord += '\n';
        const DWORD cbRecord = static_cast<DWORD>(strRecord.GetLength());
        RotateIfFull(cbRecord);
        DWORD cbWritten = 0;
        if (g_hFile)
            ::WriteFile(g_hFile.Get(), strRecord.GetString(), cbRecord, &cbWritten, nullptr);
    }
    catch (...)
    {
        // No memory for the copy: the debugger output has the record.
    }
    ::SetLastError(dwLastError);
}

// Every OutputDebugStringA of the process, the tasks' included, while no
// debugger takes them first.
LONG CALLBACK CopyDebugOutput(EXCEPTION_POINTERS* pInfo)
{
    const EXCEPTION_RECORD& record = *pInfo->ExceptionRecord;
    if (record.ExceptionCode != dwDebugOutputException || record.NumberParameters < 2 ||
        record.ExceptionInformation[1] == 0)
        return EXCEPTION_CONTINUE_SEARCH;
    const char* const pszText = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    ::EnterCriticalSection(&g_csFile);
    AppendRecord(pszText, strnlen(pszText, record.ExceptionInformation[0]));
    g_pszCopied = pszText;
    g_dwCopiedThread = ::GetCurrentThreadId();
    ::LeaveCriticalSection(&g_csFile);
    return EXCEPTION_CONTINUE_SEARCH;
}

// TraceText's records: those a debugger took first never reached the handler.
void CopyTracedRecord(const char* pszText)
{
    ::EnterCriticalSection(&g_csFile);
    if (g_pszCopied == pszText && g_dwCopiedThread == ::GetCurrentThreadId())
        g_pszCopied = nullptr;
    else
        AppendRecord(pszText, std::strlen(pszText));
    ::LeaveCriticalSection(&g_csFile);
}

void Refuse(const wchar_t* pszPath, const char* pszReason)
{
    Explain("explain file \"%s\" is not written: %s",
            TextFromWide(pszPath, static_cast<int>(std::wcslen(pszPath)), CP_ACP).GetString(),
            pszReason);
}
} // namespace

void StartExplainFile(const wchar_t* pszPath)
{
    const DWORD dwLastError = ::GetLastError();
    // Looked at before anything is written, and without write access, which a
    // running executable would refuse.
    const CUniqueFileHandle hExisting(::CreateFileW(pszPath, FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                                    dwShareAll, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool fNew = !hExisting && ::GetLastError() == ERROR_FILE_NOT_FOUND;
    const char* const pszRefusal = hExisting ? FindRefusal(hExisting.Get()) : nullptr;
    CUniqueFileHandle hFile;
    if (pszRefusal == nullptr && (hExisting || fNew))
        hFile.Attach(OpenForAppend(pszPath));
    ::SetLastError(dwLastError);
    if (pszRefusal != nullptr)
        return Refuse(pszPath, pszRefusal);
    if (!hFile)
        return;
    // A configuration that is missing must not appear as an empty explain file.
    if (fNew && IsSameFile(hFile.Get(), GetConfigPath().c_str()))
    {
        hFile.Close();
        ::DeleteFileW(pszPath);
        ::SetLastError(dwLastError);
        return Refuse(pszPath, "it is the launcher's configuration");
    }
    ::InitializeCriticalSection(&g_csFile);
    g_strPath = pszPath;
    g_hFile = std::move(hFile);
    ::AddVectoredExceptionHandler(0, CopyDebugOutput);
    SetTraceCopy(CopyTracedRecord);
    ::SetLastError(dwLastError);
}

const wchar_t* GetExplainFilePath()
{
    return g_strPath.empty() ? nullptr : g_strPath.c_str();
}
