#include "ScratchFolder.h"

#include "CoreHandle.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace
{
std::wstring ToWide(const std::string& str)
{
    const int cch =
        ::MultiByteToWideChar(CP_ACP, 0, str.data(), static_cast<int>(str.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(cch), L'\0');
    if (cch > 0)
        ::MultiByteToWideChar(CP_ACP, 0, str.data(), static_cast<int>(str.size()), &wide[0], cch);
    return wide;
}

std::string GetTempFolder()
{
    char szTemp[MAX_PATH + 1] = "";
    const DWORD cch = ::GetTempPathA(sizeof szTemp, szTemp);
    std::string strTemp(szTemp, cch < sizeof szTemp ? cch : 0);
    if (!strTemp.empty() && strTemp.back() == '\\')
        strTemp.pop_back();
    return strTemp;
}
} // namespace

bool RemoveFolderTree(const std::string& strPath)
{
    // Wide, so that names outside the ANSI code page inside it go too.
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(ToWide(strPath)), error);
    return !error;
}

CScratchFolder::CScratchFolder(const std::string& strPrefix)
    : CScratchFolder(GetTempFolder(), strPrefix)
{
}

CScratchFolder::CScratchFolder(const std::string& strParent, const std::string& strPrefix)
{
    static LONG s_cFolders = 0;
    const std::string strPath = strParent + "\\" + strPrefix +
                                std::to_string(::GetCurrentProcessId()) + "-" +
                                std::to_string(::InterlockedIncrement(&s_cFolders));
    RemoveFolderTree(strPath);
    if (!::CreateDirectoryA(strPath.c_str(), nullptr))
        throw std::runtime_error("cannot create the folder " + strPath);
    m_strPath = strPath;
}

CScratchFolder::~CScratchFolder()
{
    if (!m_strPath.empty())
        RemoveFolderTree(m_strPath);
}

CScratchFolder::CScratchFolder(CScratchFolder&& src) noexcept : m_strPath(std::move(src.m_strPath))
{
    src.m_strPath.clear();
}

std::string CScratchFolder::File(const std::string& strRelative) const
{
    return m_strPath + "\\" + strRelative;
}

std::string CScratchFolder::Write(const std::string& strRelative, const std::string& strBytes,
                                  ULONGLONG cbSize) const
{
    const std::string strPath = File(strRelative);
    for (size_t iSeparator = strPath.find('\\', m_strPath.size() + 1);
         iSeparator != std::string::npos; iSeparator = strPath.find('\\', iSeparator + 1))
        ::CreateDirectoryA(strPath.substr(0, iSeparator).c_str(), nullptr);
    const CUniqueFileHandle hFile(::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD cbWritten = 0;
    LARGE_INTEGER size = {};
    size.QuadPart = static_cast<LONGLONG>(cbSize > strBytes.size() ? cbSize : strBytes.size());
    if (!hFile ||
        !::WriteFile(hFile.Get(), strBytes.data(), static_cast<DWORD>(strBytes.size()), &cbWritten,
                     nullptr) ||
        cbWritten != strBytes.size() ||
        !::SetFilePointerEx(hFile.Get(), size, nullptr, FILE_BEGIN) || !::SetEndOfFile(hFile.Get()))
        throw std::runtime_error("cannot write " + strPath);
    return strPath;
}

bool CScratchFolder::Read(const std::string& strRelative, std::string& strBytes) const
{
    const CUniqueFileHandle hFile(
        ::CreateFileA(File(strRelative).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, 0, nullptr));
    strBytes.clear();
    char buffer[4096];
    DWORD cbRead = 0;
    while (hFile && ::ReadFile(hFile.Get(), buffer, sizeof buffer, &cbRead, nullptr))
    {
        if (cbRead == 0)
            return true;
        strBytes.append(buffer, cbRead);
    }
    return false;
}
