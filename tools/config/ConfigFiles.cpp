#include "ConfigFiles.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include "CoreFile.h"
#include "CoreTrace.h"
#include "ReplacementFile.h"
#include "WideText.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shlwapi.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{
// Bytes pass unchanged through the standard streams too.
void SetBinary(std::FILE* pFile)
{
#ifdef _WIN32
    _setmode(_fileno(pFile), _O_BINARY);
#else
    (void)pFile;
#endif
}

// The standard streams know only the runtime's error numbers.
void ReportStreamFailure(const char* pszWhat)
{
    Print(stderr, "ostrelin-config: cannot %s -: %s\n", pszWhat, std::strerror(errno));
}

#ifdef _WIN32
void ReportFailure(const char* pszWhat, const std::string& strPath, DWORD dwError)
{
    Print(stderr, "ostrelin-config: cannot %s %s: %s\n", pszWhat, strPath.c_str(),
          Utf8FromAnsi(DescribeSystemError(dwError)).c_str());
}

DWORD CodeOf(HRESULT hr)
{
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
}

void PrintTo(std::FILE* pStream, const char* pszFormat, va_list args)
{
    CText strText;
    FormatTextV(strText, pszFormat, args);
    const HANDLE hStream = ::GetStdHandle(pStream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD dwMode = 0;
    if (!::GetConsoleMode(hStream, &dwMode))
    {
        // At once, as printf on standard error was: the runtime would buffer it.
        std::fwrite(strText.GetString(), 1, static_cast<size_t>(strText.GetLength()), pStream);
        std::fflush(pStream);
        return;
    }
    // A console shows wide text as it is, whatever its code page.
    std::fflush(pStream);
    const std::wstring strWide = WideFrom(
        std::string(strText.GetString(), static_cast<size_t>(strText.GetLength())), CP_UTF8);
    DWORD cchWritten = 0;
    ::WriteConsoleW(hStream, strWide.data(), static_cast<DWORD>(strWide.size()), &cchWritten,
                    nullptr);
}
#else
void ReportFailure(const char* pszWhat, const std::string& strPath, int nError)
{
    Print(stderr, "ostrelin-config: cannot %s %s: %s\n", pszWhat, strPath.c_str(),
          std::strerror(nError));
}

void PrintTo(std::FILE* pStream, const char* pszFormat, va_list args)
{
    std::vfprintf(pStream, pszFormat, args);
}

// The file beside the target, renamed over it; a device is written directly.
bool WriteReplacing(const std::string& strPath, const std::string& strData)
{
    struct stat status = {};
    const bool fDevice = ::stat(strPath.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
    const std::string strTemporary =
        fDevice ? strPath : strPath + "." + std::to_string(::getpid()) + ".tmp";
    std::FILE* pFile = std::fopen(strTemporary.c_str(), fDevice ? "wb" : "wbx");
    if (pFile == nullptr)
    {
        ReportFailure("create", strPath, errno);
        return false;
    }
    bool fWritten = std::fwrite(strData.data(), 1, strData.size(), pFile) == strData.size() &&
                    std::fflush(pFile) == 0 && (fDevice || ::fsync(::fileno(pFile)) == 0);
    const int nError = errno;
    fWritten = std::fclose(pFile) == 0 && fWritten;
    fWritten = fWritten && (fDevice || std::rename(strTemporary.c_str(), strPath.c_str()) == 0);
    if (fWritten)
        return true;
    ReportFailure("write", strPath, nError != 0 ? nError : errno);
    if (!fDevice)
        std::remove(strTemporary.c_str());
    return false;
}
#endif
} // namespace

void Print(std::FILE* pStream, const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    PrintTo(pStream, pszFormat, args);
    va_end(args);
}

bool ReadWholeFile(const std::string& strPath, std::string& strData)
{
    strData.clear();
    if (strPath == "-")
    {
        SetBinary(stdin);
        char buffer[65536];
        size_t cb = 0;
        while ((cb = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
            strData.append(buffer, cb);
        if (std::ferror(stdin) == 0)
            return true;
        ReportStreamFailure("read");
        return false;
    }
#ifdef _WIN32
    CSharedReadFile file;
    HRESULT hr = file.Open(WideFrom(strPath, CP_UTF8).c_str());
    if (hr != S_OK)
    {
        ReportFailure("open", strPath, CodeOf(hr));
        return false;
    }
    const ULONGLONG cbFile = file.GetSize();
    if (cbFile > MAXDWORD / 2 || cbFile > strData.max_size())
        hr = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    else if (cbFile > 0)
    {
        strData.resize(static_cast<size_t>(cbFile));
        hr = file.Read(&strData[0], static_cast<DWORD>(cbFile));
    }
    if (hr == S_OK)
        return true;
    ReportFailure("read", strPath, CodeOf(hr));
    return false;
#else
    std::FILE* pFile = std::fopen(strPath.c_str(), "rb");
    if (pFile == nullptr)
    {
        ReportFailure("open", strPath, errno);
        return false;
    }
    char buffer[65536];
    size_t cb = 0;
    while ((cb = std::fread(buffer, 1, sizeof buffer, pFile)) > 0)
        strData.append(buffer, cb);
    const bool fFailed = std::ferror(pFile) != 0;
    if (fFailed)
        ReportFailure("read", strPath, errno);
    std::fclose(pFile);
    return !fFailed;
#endif
}

bool WriteWholeFile(const std::string& strPath, const std::string& strData)
{
    if (strPath == "-")
    {
        SetBinary(stdout);
        if (std::fwrite(strData.data(), 1, strData.size(), stdout) == strData.size() &&
            std::fflush(stdout) == 0)
            return true;
        ReportStreamFailure("write");
        return false;
    }
#ifdef _WIN32
    CReplacementFile file;
    DWORD dwError = file.Create(WideFrom(strPath, CP_UTF8));
    if (dwError != ERROR_SUCCESS)
    {
        ReportFailure("create", strPath, dwError);
        return false;
    }
    file.Write(strData);
    dwError = file.Commit();
    if (dwError != ERROR_SUCCESS)
        ReportFailure("write", strPath, dwError);
    return dwError == ERROR_SUCCESS;
#else
    return WriteReplacing(strPath, strData);
#endif
}

#ifdef _WIN32
std::string FileNameOf(const std::string& strPath)
{
    // The loader's own rule on the path it has, which knows double-byte
    // characters.
    return ::PathFindFileNameA(AnsiFromUtf8(strPath).c_str());
}

std::string Utf8FromAnsi(const std::string& strText)
{
    return TextFrom(WideFrom(strText, CP_ACP), CP_UTF8);
}

std::string AnsiFromUtf8(const std::string& strText)
{
    return TextFrom(WideFrom(strText, CP_UTF8), CP_ACP);
}
#else
std::string FileNameOf(const std::string& strPath)
{
    const size_t iSeparator = strPath.find_last_of("/\\");
    return iSeparator == std::string::npos ? strPath : strPath.substr(iSeparator + 1);
}

std::string Utf8FromAnsi(const std::string& strText)
{
    return strText;
}

std::string AnsiFromUtf8(const std::string& strText)
{
    return strText;
}
#endif
