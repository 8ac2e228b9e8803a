#include "ConfigFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shlwapi.h>
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

void ReportFailure(const char* pszWhat, const std::string& strPath)
{
    std::fprintf(stderr, "ostrelin-config: cannot %s %s: %s\n", pszWhat, strPath.c_str(),
                 std::strerror(errno));
}
} // namespace

bool ReadWholeFile(const std::string& strPath, std::string& strData)
{
    const bool fStdin = strPath == "-";
    std::FILE* pFile = fStdin ? stdin : std::fopen(strPath.c_str(), "rb");
    if (pFile == nullptr)
    {
        ReportFailure("open", strPath);
        return false;
    }
    if (fStdin)
        SetBinary(pFile);
    strData.clear();
    char buffer[65536];
    size_t cb = 0;
    while ((cb = std::fread(buffer, 1, sizeof buffer, pFile)) > 0)
        strData.append(buffer, cb);
    const bool fFailed = std::ferror(pFile) != 0;
    if (fFailed)
        ReportFailure("read", strPath);
    if (!fStdin)
        std::fclose(pFile);
    return !fFailed;
}

bool WriteWholeFile(const std::string& strPath, const std::string& strData)
{
    const bool fStdout = strPath == "-";
    std::FILE* pFile = fStdout ? stdout : std::fopen(strPath.c_str(), "wb");
    if (pFile == nullptr)
    {
        ReportFailure("create", strPath);
        return false;
    }
    if (fStdout)
        SetBinary(pFile);
    bool fWritten = std::fwrite(strData.data(), 1, strData.size(), pFile) == strData.size();
    fWritten = (fStdout ? std::fflush(pFile) : std::fclose(pFile)) == 0 && fWritten;
    if (!fWritten)
        ReportFailure("write", strPath);
    return fWritten;
}

std::string FileNameOf(const std::string& strPath)
{
#ifdef _WIN32
    // The loader's own rule, which knows double-byte characters.
    return ::PathFindFileNameA(strPath.c_str());
#else
    const size_t iSeparator = strPath.find_last_of("/\\");
    return iSeparator == std::string::npos ? strPath : strPath.substr(iSeparator + 1);
#endif
}
