#include "CrashDump.h"

#include "CoreTrace.h"

#include <dbghelp.h>

#include <cstring>

namespace
{
using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// From the system folder only: a dbghelp.dll beside a task is not the system's.
MiniDumpWriteDumpFunction LoadMiniDumpWriteDump()
{
    wchar_t szPath[MAX_PATH];
    const wchar_t szName[] = L"\\dbghelp.dll";
    const UINT cch = ::GetSystemDirectoryW(szPath, MAX_PATH);
    if (cch == 0 || cch + sizeof(szName) / sizeof(wchar_t) > MAX_PATH)
        return nullptr;
    ::lstrcpyW(szPath + cch, szName);
    const HMODULE hDbgHelp = ::LoadLibraryW(szPath);
    // Not freed: the process ends after the dump.
    return hDbgHelp == nullptr
               ? nullptr
               : reinterpret_cast<MiniDumpWriteDumpFunction>(
                     reinterpret_cast<void*>(::GetProcAddress(hDbgHelp, "MiniDumpWriteDump")));
}

void SayFailure(const char* pszStep, char* pszWords, size_t cchWords)
{
    const DWORD dwError = ::GetLastError();
    char szWhy[256];
    FormatSystemMessageFixed(dwError, szWhy, sizeof(szWhy));
    size_t cchWhy = std::strlen(szWhy);
    while (cchWhy > 0 && (szWhy[cchWhy - 1] == '\r' || szWhy[cchWhy - 1] == '\n'))
        szWhy[--cchWhy] = '\0';
    FormatFixedText(pszWords, cchWords, "no minidump: %s: %s", pszStep, szWhy);
}
} // namespace

void WriteCrashDump(const wchar_t* pszDumpPath, EXCEPTION_POINTERS* pException, DWORD dwThreadId,
                    char* pszWords, size_t cchWords)
{
    const MiniDumpWriteDumpFunction pfnWriteDump = LoadMiniDumpWriteDump();
    if (pfnWriteDump == nullptr)
        return SayFailure("dbghelp.dll", pszWords, cchWords);
    // New or nothing, as the start's file.
    const HANDLE hFile = ::CreateFileW(pszDumpPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return SayFailure("the file", pszWords, cchWords);
    MINIDUMP_EXCEPTION_INFORMATION exception = {dwThreadId, pException, FALSE};
    const bool fWritten = pfnWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), hFile,
                                       MiniDumpNormal, &exception, nullptr, nullptr) &&
                          ::FlushFileBuffers(hFile);
    if (!fWritten)
        SayFailure("MiniDumpWriteDump", pszWords, cchWords);
    ::CloseHandle(hFile);
    if (!fWritten)
    {
        ::DeleteFileW(pszDumpPath); // this start's own, half written
        return;
    }
    char szPath[1024]; // in the code page, as every record; a longer path is cut
    if (::WideCharToMultiByte(CP_ACP, 0, pszDumpPath, -1, szPath, sizeof(szPath), nullptr,
                              nullptr) == 0)
        szPath[sizeof(szPath) - 1] = '\0';
    FormatFixedText(pszWords, cchWords, "minidump %s", szPath);
}
