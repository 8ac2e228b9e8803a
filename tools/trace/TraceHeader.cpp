#include "TraceHeader.h"

#include "SystemLibrary.h"

#include <cstdio>
#include <vector>

namespace
{
const char szLauncherFileName[] = "Ostrelin.exe";

// The launcher's exit codes, by value.
const char* const apszLauncherExits[] = {
    "normal end",
    "a fixed mutex could not be created",
    "the updater holds the installation",
    "another copy of this installation runs",
    "an error ended the task run",
};

std::string ToAnsi(const wchar_t* pwsz, int cch)
{
    if (cch <= 0)
        return std::string();
    const int cb = ::WideCharToMultiByte(CP_ACP, 0, pwsz, cch, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(cb), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, pwsz, cch, &text[0], cb, nullptr, nullptr);
    return text;
}

ULONGLONG ToUnits(const SYSTEMTIME& time)
{
    FILETIME file = {};
    ::SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// version.dll is no known DLL: loaded from the system folder, when first needed.
struct CVersionApi
{
    decltype(&::GetFileVersionInfoSizeW) pfnGetSize = nullptr;
    decltype(&::GetFileVersionInfoW) pfnGet = nullptr;
    decltype(&::VerQueryValueW) pfnQuery = nullptr;

    CVersionApi()
    {
        const HMODULE hVersion = LoadSystemLibrary(L"version.dll");
        if (hVersion == nullptr)
            return;
        pfnGetSize = reinterpret_cast<decltype(pfnGetSize)>(
            reinterpret_cast<void*>(::GetProcAddress(hVersion, "GetFileVersionInfoSizeW")));
        pfnGet = reinterpret_cast<decltype(pfnGet)>(
            reinterpret_cast<void*>(::GetProcAddress(hVersion, "GetFileVersionInfoW")));
        pfnQuery = reinterpret_cast<decltype(pfnQuery)>(
            reinterpret_cast<void*>(::GetProcAddress(hVersion, "VerQueryValueW")));
    }
};

std::string FindFileVersion(const std::wstring& path)
{
    static const CVersionApi api;
    if (api.pfnGetSize == nullptr || api.pfnGet == nullptr || api.pfnQuery == nullptr)
        return std::string();
    DWORD dwIgnored = 0;
    const DWORD cb = api.pfnGetSize(path.c_str(), &dwIgnored);
    std::vector<BYTE> block(cb);
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT cbInfo = 0;
    if (cb == 0 || !api.pfnGet(path.c_str(), 0, cb, block.data()) ||
        !api.pfnQuery(block.data(), L"\\", reinterpret_cast<void**>(&pInfo), &cbInfo) ||
        pInfo == nullptr || cbInfo < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    char szVersion[48];
    std::snprintf(szVersion, sizeof(szVersion), "%lu.%lu.%lu.%lu",
                  static_cast<unsigned long>(HIWORD(pInfo->dwFileVersionMS)),
                  static_cast<unsigned long>(LOWORD(pInfo->dwFileVersionMS)),
                  static_cast<unsigned long>(HIWORD(pInfo->dwFileVersionLS)),
                  static_cast<unsigned long>(LOWORD(pInfo->dwFileVersionLS)));
    return szVersion;
}
} // namespace

std::string FormatWallClockNow()
{
    SYSTEMTIME utc = {};
    ::GetSystemTime(&utc);
    SYSTEMTIME local = {};
    ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    // The offset as it stands today, summer time included: whole minutes.
    const long long nOffsetMinutes =
        (static_cast<long long>(ToUnits(local)) - static_cast<long long>(ToUnits(utc))) / 600000000;
    const long long nAbsolute = nOffsetMinutes < 0 ? -nOffsetMinutes : nOffsetMinutes;
    char szTime[64];
    std::snprintf(szTime, sizeof(szTime), "%04u-%02u-%02u %02u:%02u:%02u (UTC%c%02u:%02u)",
                  local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                  nOffsetMinutes < 0 ? '-' : '+', static_cast<unsigned>(nAbsolute / 60),
                  static_cast<unsigned>(nAbsolute % 60));
    return szTime;
}

CProgramFile DescribeProgramFile(HANDLE hProcess)
{
    // Wide, so that the version is found for any path; shown in the code page.
    std::vector<wchar_t> buffer(0x8000);
    DWORD cch = static_cast<DWORD>(buffer.size());
    CProgramFile program;
    if (!::QueryFullProcessImageNameW(hProcess, 0, buffer.data(), &cch))
        return program;
    const std::wstring path(buffer.data(), cch);
    program.path = ToAnsi(path.data(), static_cast<int>(path.size()));
    program.version = FindFileVersion(path);
    return program;
}

std::string ExplainExitCode(const std::string& programPath, DWORD exitCode)
{
    const size_t iName = programPath.find_last_of("\\/");
    const std::string name = programPath.substr(iName == std::string::npos ? 0 : iName + 1);
    if (lstrcmpiA(name.c_str(), szLauncherFileName) != 0 ||
        exitCode >= sizeof(apszLauncherExits) / sizeof(apszLauncherExits[0]))
        return std::string();
    return std::string(": ") + apszLauncherExits[exitCode];
}
