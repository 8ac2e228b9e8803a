// A folder of the test's own, removed with everything in it at the end.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class CScratchFolder
{
public:
    // <parent>ostrelin-<pid>-<n>; by default under the system's temporary folder.
    explicit CScratchFolder(std::string parent = std::string())
    {
        static int s_iFolder = 0;
        char szTemp[MAX_PATH + 1] = "";
        ::GetTempPathA(sizeof(szTemp), szTemp);
        m_name = "ostrelin-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(++s_iFolder);
        m_path = (parent.empty() ? szTemp : parent) + m_name;
        std::filesystem::remove_all(m_path, m_error); // left by an earlier process of this id
        std::filesystem::create_directories(m_path, m_error);
    }
    ~CScratchFolder() { std::filesystem::remove_all(m_path, m_error); }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::string& Name() const { return m_name; }
    const std::string& Folder() const { return m_path; } // without a trailing backslash
    std::string Path(const std::string& name) const { return m_path + "\\" + name; }

    // The bytes, then zero bytes up to cbSize (sparse); returns the file's path.
    std::string Write(const std::string& name, const std::string& bytes, ULONGLONG cbSize = 0) const
    {
        const std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), m_error);
        std::ofstream(path, std::ios::binary) << bytes;
        const HANDLE hFile =
            ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = static_cast<LONGLONG>(cbSize > bytes.size() ? cbSize : bytes.size());
        ::SetFilePointerEx(hFile, size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(hFile);
        ::CloseHandle(hFile);
        return path;
    }

    // The file's bytes, or "<none>".
    std::string Read(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return file ? bytes.str() : "<none>";
    }

private:
    std::string m_name, m_path;
    mutable std::error_code m_error;
};
