// A folder of this process's own, removed with everything in it when the owner
// goes: <parent>\<prefix><process id>-<count>, so that programs running at
// once never share one. A folder of that name that an earlier process of the
// same id left behind is removed first.
#pragma once

#include <windows.h>

#include <string>

class CScratchFolder
{
public:
    // Under the temporary folder (GetTempPath).
    explicit CScratchFolder(const std::string& strPrefix);
    // Under strParent (without a trailing backslash). Throws std::runtime_error
    // when the folder cannot be made.
    CScratchFolder(const std::string& strParent, const std::string& strPrefix);
    ~CScratchFolder();
    CScratchFolder(CScratchFolder&& src) noexcept;
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;
    CScratchFolder& operator=(CScratchFolder&&) = delete;

    // Without a trailing backslash.
    const std::string& Path() const { return m_strPath; }
    // The folder's own name, as a path relative to the parent.
    std::string Name() const { return m_strPath.substr(m_strPath.rfind('\\') + 1); }
    // Path() + "\" + strRelative.
    std::string File(const std::string& strRelative) const;
    // Writes the bytes to File(strRelative), its folders made as needed, and
    // moves the end of the file to cbSize when that lies beyond (zeros that
    // are never written); the file's path. Throws std::runtime_error when it
    // cannot.
    std::string Write(const std::string& strRelative, const std::string& strBytes,
                      ULONGLONG cbSize = 0) const;
    // The bytes of File(strRelative), read while others may write it; false
    // when it cannot be opened or read.
    bool Read(const std::string& strRelative, std::string& strBytes) const;

private:
    std::string m_strPath;
};

// Removes the folder and everything in it; a folder that is not there is no
// error. False when something stayed.
bool RemoveFolderTree(const std::string& strPath);
