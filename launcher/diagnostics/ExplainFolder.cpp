#include "ExplainFolder.h"

#include "ExplainKeeping.h"
#include "CoreError.h"
#include "CoreFile.h"
#include "CoreHandle.h"
#include "CoreText.h"
#include "CoreTrace.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace
{
// What OutputDebugStringA raises (DBG_PRINTEXCEPTION_C); a task's records
// reach the file only this way.
const DWORD dwDebugOutputException = 0x40010006;
// Kept free for a start's last records: the one that says the file is full,
// then its end, a crash or an abort, however full the file is.
const LONGLONG cbLastRecords = 16 * 1024;
// The longest wait for the file: a crash report must not stall on a thread
// that stopped while it held it.
const ULONGLONG nLockTimeoutMs = 2000;
const size_t cbPage = 4096; // the smallest page of every processor the launcher runs on

HANDLE g_hFile = INVALID_HANDLE_VALUE; // closed by the process's end, after the last record
CWideText g_strDumpPath;
LONGLONG g_cbWritten = 0;
DWORD g_dwWriteError = ERROR_SUCCESS; // the first write that failed
bool g_fFull = false;
bool g_fLastRecords = false; // the room kept for them is theirs
CRITICAL_SECTION g_csFile;   // tasks may write from threads of their own
// The record the exception handler copied last: TraceText then hands the same
// record over, and it must not be written twice.
const char* g_pszCopied = nullptr;
DWORD g_dwCopiedThread = 0;

bool LockFile()
{
    const ULONGLONG nStart = ::GetTickCount64();
    while (!::TryEnterCriticalSection(&g_csFile))
    {
        if (::GetTickCount64() - nStart > nLockTimeoutMs)
            return false;
        ::Sleep(1);
    }
    return true;
}

void WriteBytes(const char* pch, size_t cb)
{
    DWORD cbWritten = 0;
    if (cb > 0 && ::WriteFile(g_hFile, pch, static_cast<DWORD>(cb), &cbWritten, nullptr))
        g_cbWritten += cbWritten;
    else if (cb > 0 && g_dwWriteError == ERROR_SUCCESS)
        g_dwWriteError = ::GetLastError();
}

// A record's start, its wall-clock time: "2026-12-07 04:51:23.456 ". False
// when a record of up to cbText bytes no longer fits; the file's last record
// then says so.
bool BeginRecord(size_t cbText)
{
    const LONGLONG cbRoom = cbExplainFileLimit - (g_fLastRecords ? 0 : cbLastRecords);
    if (g_fFull && !(g_fLastRecords && g_cbWritten + static_cast<LONGLONG>(cbText) + 32 <= cbRoom))
        return false;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char szTime[32];
    const size_t cbTime = FormatFixedText(
        szTime, sizeof(szTime), "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
        now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    WriteBytes(szTime, cbTime);
    if (g_fFull || g_cbWritten + static_cast<LONGLONG>(cbText) + 1 <= cbRoom)
        return true;
    g_fFull = true;
    const char szFull[] = "Ostrelin: explain file full (10 MB): later records go to the "
                          "debugger output only, but for the start's last\n";
    WriteBytes(szFull, sizeof(szFull) - 1);
    return false;
}

// Up to cchMax characters of what pszText points to, up to its terminator.
// Another module's pointer may be bad: ReadProcessMemory fails where a read
// would fault, so such a record is skipped, never faulted on.
void CopyRecord(const char* pszText, size_t cchMax)
{
    const size_t cchLongest = 64 * 1024; // a longer record is cut: the file stays bounded
    cchMax = cchMax < cchLongest ? cchMax : cchLongest;
    char szChunk[1024];
    bool fBegun = false, fEndsLine = false;
    while (cchMax > 0)
    {
        // Within one page: a read across into an unreadable page fails whole.
        const size_t cbToPage = cbPage - reinterpret_cast<ULONG_PTR>(pszText) % cbPage;
        size_t cb = cchMax < sizeof(szChunk) ? cchMax : sizeof(szChunk);
        cb = cb < cbToPage ? cb : cbToPage;
        SIZE_T cbRead = 0;
        if (!::ReadProcessMemory(::GetCurrentProcess(), pszText, szChunk, cb, &cbRead) ||
            cbRead != cb)
            break;
        const char* const pchEnd = static_cast<const char*>(std::memchr(szChunk, '\0', cb));
        const size_t cch = pchEnd ? static_cast<size_t>(pchEnd - szChunk) : cb;
        if (!fBegun && !(fBegun = BeginRecord(cchMax)))
            return;
        WriteBytes(szChunk, cch);
        if (cch > 0)
            fEndsLine = szChunk[cch - 1] == '\n';
        if (pchEnd)
            break;
        pszText += cb;
        cchMax -= cb;
    }
    if (fBegun && !fEndsLine)
        WriteBytes("\n", 1);
}

// Every OutputDebugStringA of the process, the tasks' included, while no
// debugger takes them first.
LONG CALLBACK CopyDebugOutput(EXCEPTION_POINTERS* pInfo)
{
    const EXCEPTION_RECORD& record = *pInfo->ExceptionRecord;
    if (record.ExceptionCode != dwDebugOutputException || record.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const CLastErrorKeeper keeper; // the copy changes nothing else
    const char* const pszText = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    if (!LockFile())
        return EXCEPTION_CONTINUE_SEARCH;
    CopyRecord(pszText, record.ExceptionInformation[0]);
    g_pszCopied = pszText;
    g_dwCopiedThread = ::GetCurrentThreadId();
    ::LeaveCriticalSection(&g_csFile);
    return EXCEPTION_CONTINUE_SEARCH;
}

// TraceText's records: those a debugger took first never reached the handler.
void CopyTracedRecord(const char* pszText)
{
    if (!LockFile())
        return;
    if (g_pszCopied == pszText && g_dwCopiedThread == ::GetCurrentThreadId())
        g_pszCopied = nullptr;
    else
        CopyRecord(pszText, std::strlen(pszText));
    ::LeaveCriticalSection(&g_csFile);
}

// What GetFullPathName makes of a device name or a pipe: \\.\COM1,
// \\.\pipe\x, \\?\GLOBALROOT\...; a \\?\ drive or share path is a path.
bool NamesDevice(const CWideText& strFull)
{
    if (strFull.compare(0, 4, L"\\\\.\\") == 0)
        return true;
    if (strFull.compare(0, 4, L"\\\\?\\") != 0)
        return false;
    const wchar_t* const psz = strFull.c_str() + 4;
    const bool fDrive = ((psz[0] | 0x20) >= L'a' && (psz[0] | 0x20) <= L'z') && psz[1] == L':';
    return !fDrive && _wcsnicmp(psz, L"UNC\\", 4) != 0;
}

// The folder and its missing parents; a drive or share root is never made.
bool CreateFolder(const CWideText& strFolder)
{
    if (::CreateDirectoryW(LongPathForm(strFolder).c_str(), nullptr) ||
        ::GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    const size_t iParent = strFolder.find_last_of(L'\\');
    if (::GetLastError() != ERROR_PATH_NOT_FOUND || iParent == CWideText::npos || iParent < 3 ||
        !CreateFolder(strFolder.substr(0, iParent)))
        return false;
    return ::CreateDirectoryW(LongPathForm(strFolder).c_str(), nullptr) ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

CWideText InFolder(const CWideText& strFolder, const wchar_t* pszName)
{
    return strFolder + (strFolder.back() == L'\\' ? L"" : L"\\") + pszName;
}

// A file of the folder's own name form: "Ostrelin-20261207-045123-1234.txt"
// or ".dmp".
bool IsStartFileName(const wchar_t* pszName)
{
    if (std::wcsncmp(pszName, L"Ostrelin-", 9) != 0)
        return false;
    const wchar_t* psz = pszName + 9;
    for (const int cDigits : {8, 6})
    {
        for (int i = 0; i < cDigits; ++i, ++psz)
        {
            if (*psz < L'0' || *psz > L'9')
                return false;
        }
        if (*psz++ != L'-')
            return false;
    }
    size_t cchId = 0;
    while (psz[cchId] >= L'0' && psz[cchId] <= L'9')
        ++cchId;
    return cchId > 0 && cchId <= 10 &&
           (std::wcscmp(psz + cchId, L".txt") == 0 || std::wcscmp(psz + cchId, L".dmp") == 0);
}

ULONGLONG Join(DWORD dwHigh, DWORD dwLow)
{
    return (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
}

// The path the system gives for what a handle opened, without its \\?\ form.
CWideText FinalPathOf(HANDLE h)
{
    wchar_t szPath[MAX_PATH * 4];
    const DWORD cch = ::GetFinalPathNameByHandleW(h, szPath, ARRAYSIZE(szPath),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (cch == 0 || cch >= ARRAYSIZE(szPath))
        return CWideText();
    CWideText strPath(szPath, cch);
    if (strPath.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\" + strPath.substr(7);
    return strPath.compare(0, 4, L"\\\\?\\") == 0 ? strPath.substr(4) : strPath;
}

// Deletes one file of the folder through a handle, and only a regular file
// that is the folder's own entry: never what a link or a junction of that
// name leads to (under Wine a Unix link is no reparse point, and opening it
// opens its target, which the final path then names), nor a file another
// start still writes (it shares no delete access).
void DeleteStartFile(const CWideText& strFinalFolder, const CWideText& strFolder,
                     const wchar_t* pszName)
{
    const CUniqueFileHandle hFile(::CreateFileW(
        LongPathForm(InFolder(strFolder, pszName)).c_str(), DELETE | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!hFile.IsValid() || !::GetFileInformationByHandle(hFile.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        _wcsicmp(FinalPathOf(hFile.Get()).c_str(), InFolder(strFinalFolder, pszName).c_str()) != 0)
        return;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    ::SetFileInformationByHandle(hFile.Get(), FileDispositionInfo, &disposition,
                                 sizeof(disposition));
}

// Deletes the files of all but the newest starts (ExplainKeeping.h); this
// start's own stays, and nothing that is not of the folder's name form.
void KeepNewestStarts(const CWideText& strFolder, const CWideText& strOwnStem)
{
    const CUniqueFileHandle hFolder(
        ::CreateFileW(LongPathForm(strFolder).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const CWideText strFinalFolder = hFolder.IsValid() ? FinalPathOf(hFolder.Get()) : CWideText();
    if (strFinalFolder.empty())
        return;
    std::vector<CExplainFileEntry> files;
    WIN32_FIND_DATAW data;
    const CUniqueFindHandle hFind(
        ::FindFirstFileExW(LongPathForm(InFolder(strFolder, L"Ostrelin-*")).c_str(),
                           FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!hFind)
        return;
    do
    {
        if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            IsStartFileName(data.cFileName))
            files.push_back(
                {data.cFileName,
                 Join(data.ftCreationTime.dwHighDateTime, data.ftCreationTime.dwLowDateTime),
                 Join(data.nFileSizeHigh, data.nFileSizeLow)});
    } while (::FindNextFileW(hFind.Get(), &data));
    const size_t iName = strOwnStem.find_last_of(L'\\') + 1;
    for (const size_t iFile :
         ChooseExplainFilesToDelete(files, CWideText(strOwnStem.c_str() + iName)))
        DeleteStartFile(strFinalFolder, strFolder, files[iFile].strName.c_str());
}

// "1.0.0.0" from the launcher's own VERSIONINFO, read from its image: no
// version.dll to load.
CText FindOwnVersion()
{
    const HRSRC hInfo =
        ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_VERSION); // VS_VERSION_INFO
    const HGLOBAL hData = hInfo ? ::LoadResource(nullptr, hInfo) : nullptr;
    const BYTE* const pb = static_cast<const BYTE*>(hData ? ::LockResource(hData) : nullptr);
    const DWORD cb = hInfo ? ::SizeofResource(nullptr, hInfo) : 0;
    CText strVersion("(no version)");
    for (DWORD ib = 0; pb != nullptr && ib + sizeof(VS_FIXEDFILEINFO) <= cb; ib += 4)
    {
        VS_FIXEDFILEINFO info;
        std::memcpy(&info, pb + ib, sizeof(info));
        if (info.dwSignature != VS_FFI_SIGNATURE)
            continue;
        FormatText(strVersion, "%u.%u.%u.%u", HIWORD(info.dwFileVersionMS),
                   LOWORD(info.dwFileVersionMS), HIWORD(info.dwFileVersionLS),
                   LOWORD(info.dwFileVersionLS));
        break;
    }
    return strVersion;
}

// What support asks first: which launcher, started how, where, on what.
void WriteHeader()
{
    wchar_t szFolder[MAX_PATH];
    const DWORD cchFolder = ::GetCurrentDirectoryW(MAX_PATH, szFolder);
    const wchar_t* const pszCommandLine = ::GetCommandLineW();
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)); // as the process sees it
    CText strHeader;
    FormatText(strHeader,
               "Ostrelin %s, process %lu\nlauncher: %s\ncommand line: %s\ncurrent folder: %s\n"
               "ANSI code page: %u\nsystem: Windows %lu.%lu.%lu %s\n",
               FindOwnVersion().GetString(), ::GetCurrentProcessId(),
               AnsiFromWide(GetModuleFilePathW()).GetString(),
               AnsiFromWide(pszCommandLine).GetString(),
               cchFolder < MAX_PATH ? AnsiFromWide(szFolder).GetString() : "(longer than MAX_PATH)",
               ::GetACP(), version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber,
               AnsiFromWide(version.szCSDVersion).GetString());
    WriteBytes(strHeader.GetString(), static_cast<size_t>(strHeader.GetLength()));
}

// Why strFolder takes no file of this start, or nullptr; then g_hFile holds
// the new file and strStem its path without the extension. Nothing there is
// read: a device or a pipe could block the start for good.
const char* CreateStartFile(const CWideText& strFolder, CWideText& strStem)
{
    if (NamesDevice(strFolder))
    {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return "it names a device or a pipe";
    }
    if (!CreateFolder(strFolder))
        return "it cannot be created";
    const DWORD dwAttributes = ::GetFileAttributesW(LongPathForm(strFolder).c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        ::SetLastError(ERROR_DIRECTORY);
        return "it is a file";
    }
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char szName[64];
    const size_t cchName = FormatFixedText(
        szName, sizeof(szName), "Ostrelin-%04u%02u%02u-%02u%02u%02u-%lu", now.wYear, now.wMonth,
        now.wDay, now.wHour, now.wMinute, now.wSecond, ::GetCurrentProcessId());
    strStem = InFolder(strFolder, WideFromText(szName, static_cast<int>(cchName)).c_str());
    // New or nothing: an existing file is never opened for writing.
    // No delete shared: another start's pruning must leave it while it runs.
    g_hFile = ::CreateFileW(LongPathForm(strStem + L".txt").c_str(), GENERIC_WRITE | DELETE,
                            FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return g_hFile == INVALID_HANDLE_VALUE ? "no new file can be created in it" : nullptr;
}
} // namespace

bool StartExplainFolder(const wchar_t* pszFolder)
{
    const CLastErrorKeeper keeper;
    CWideText strFolder = FullPathOf(pszFolder), strStem;
    if (strFolder.empty())
        strFolder = pszFolder;
    // "C:\logs\" and "C:\logs" are one folder; "C:\" keeps its backslash.
    while (strFolder.size() > 3 && strFolder.back() == L'\\')
        strFolder.pop_back();
    const char* const pszRefusal = CreateStartFile(strFolder, strStem);
    if (pszRefusal != nullptr)
    {
        const DWORD dwError = ::GetLastError();
        CText strRecord;
        FormatText(strRecord, "Ostrelin: explain folder \"%s\" is not used: %s (LastError %lu)\n",
                   AnsiFromWide(strFolder).GetString(), pszRefusal, dwError);
        TraceText(strRecord);
        return false;
    }
    WriteHeader();
    if (g_dwWriteError != ERROR_SUCCESS)
    {
        // A full disk: no empty file left behind, and one record that says so.
        FILE_DISPOSITION_INFO disposition = {TRUE};
        ::SetFileInformationByHandle(g_hFile, FileDispositionInfo, &disposition,
                                     sizeof(disposition));
        ::CloseHandle(g_hFile);
        g_hFile = INVALID_HANDLE_VALUE;
        CText strRecord;
        FormatText(strRecord,
                   "Ostrelin: explain folder \"%s\" is not used: no file can be written in it "
                   "(LastError %lu)\n",
                   AnsiFromWide(strFolder).GetString(), g_dwWriteError);
        TraceText(strRecord);
        return false;
    }
    KeepNewestStarts(strFolder, strStem);
    g_strDumpPath = LongPathForm(strStem + L".dmp");
    ::InitializeCriticalSection(&g_csFile);
    ::AddVectoredExceptionHandler(0, CopyDebugOutput);
    SetTraceCopy(CopyTracedRecord);
    return true;
}

const wchar_t* GetExplainDumpPath()
{
    return g_strDumpPath.empty() ? nullptr : g_strDumpPath.c_str();
}

void UseExplainReserve()
{
    g_fLastRecords = true;
}
