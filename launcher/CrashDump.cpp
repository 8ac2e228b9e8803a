#include "CrashDump.h"

#include "CoreText.h"
#include "CoreHandle.h"
#include "CoreTrace.h"

#include <dbghelp.h>

namespace
{
using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

CText Failure(const char* pszStep)
{
    const CText strWhy = GetSystemMessage(::GetLastError());
    int cchWhy = strWhy.GetLength();
    while (cchWhy > 0 && (strWhy[cchWhy - 1] == '\r' || strWhy[cchWhy - 1] == '\n'))
        --cchWhy;
    return CText("no minidump: ") + pszStep + ": " + CText(strWhy, cchWhy).GetString();
}

// From the system folder only: a dbghelp.dll beside a task is not the system's.
MiniDumpWriteDumpFunction LoadMiniDumpWriteDump()
{
    wchar_t szFolder[MAX_PATH];
    const UINT cch = ::GetSystemDirectoryW(szFolder, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return nullptr;
    const HMODULE hDbgHelp = ::LoadLibraryW((CWideText(szFolder) + L"\\dbghelp.dll").c_str());
    // Not freed: the process ends after the dump.
    return hDbgHelp == nullptr
               ? nullptr
               : reinterpret_cast<MiniDumpWriteDumpFunction>(
                     reinterpret_cast<void*>(::GetProcAddress(hDbgHelp, "MiniDumpWriteDump")));
}
} // namespace

CText WriteCrashDump(const wchar_t* pszExplainFile, EXCEPTION_POINTERS* pException,
                     DWORD dwThreadId)
{
    const MiniDumpWriteDumpFunction pfnWriteDump = LoadMiniDumpWriteDump();
    if (pfnWriteDump == nullptr)
        return Failure("dbghelp.dll");
    // Written whole under a name of this process's own, then put in place.
    const CWideText strDump = CWideText(pszExplainFile) + L".dmp";
    CText strProcess;
    FormatText(strProcess, ".%lu.tmp", ::GetCurrentProcessId());
    const CWideText strPartial = strDump + WideFromText(strProcess, strProcess.GetLength()).c_str();
    CUniqueFileHandle hFile(::CreateFileW(strPartial.c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile)
        return Failure(AnsiFromWide(strPartial));
    MINIDUMP_EXCEPTION_INFORMATION exception = {dwThreadId, pException, FALSE};
    const bool fWritten = pfnWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), hFile.Get(),
                                       MiniDumpNormal, &exception, nullptr, nullptr) &&
                          ::FlushFileBuffers(hFile.Get());
    CText strFailure = fWritten ? CText() : Failure("MiniDumpWriteDump");
    hFile.Close();
    if (fWritten && !::MoveFileExW(strPartial.c_str(), strDump.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        strFailure = Failure(AnsiFromWide(strDump));
    if (!strFailure.IsEmpty())
    {
        ::DeleteFileW(strPartial.c_str());
        return strFailure;
    }
    return CText("minidump ") + AnsiFromWide(strDump).GetString();
}
