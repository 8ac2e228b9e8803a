// A file written in full beside its target and put in the target's place in
// one step, so that a write that fails (a full disk, a refused replace)
// leaves the target exactly as it was:
//
//     CReplacementFile file;
//     DWORD dwError = file.Create(L"C:\\Casino\\bin\\Config.xml");
//     if (dwError == ERROR_SUCCESS)
//     {
//         file.Write(strBytes);
//         dwError = file.Commit(); // failed: the target is untouched, nothing is left
//     }
//
// Until Commit the bytes go to "<target>.<process id>-<n>.tmp" in the
// target's folder, which the system deletes should the process end first. A
// device (NUL, a console, a Unix device under Wine) has nothing to replace:
// it is written directly.
#pragma once

#include "CoreHandle.h"

#include <string>

class CReplacementFile
{
public:
    CReplacementFile() = default;
    ~CReplacementFile() { Discard(); }
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    // ERROR_SUCCESS, or the error of creating the temporary file (or of
    // opening the device).
    DWORD Create(const std::wstring& strTarget);
    bool IsOpen() const { return m_hFile.IsValid(); }
    // False once a write has failed: later writes are dropped, and Commit
    // answers the first failure.
    bool Write(const char* pchData, size_t cbData);
    bool Write(const std::string& strData) { return Write(strData.data(), strData.size()); }
    // Flushes the file to the disk, closes it and replaces the target:
    // ERROR_SUCCESS, or the first failure of the whole write, the target then
    // as it was and the temporary file gone.
    DWORD Commit();
    // Drops what was written; the target stays as it was.
    void Discard();

private:
    DWORD Fail(DWORD dwError);

    CUniqueFileHandle m_hFile;
    std::wstring m_strTarget;
    std::wstring m_strTemporary; // empty for a device
    bool m_fDeletePending = false;
    DWORD m_dwError = ERROR_SUCCESS;
};

// A Win32 error in the user's language with its number, as the tools show
// one: "Access denied (error 5)".
std::string DescribeSystemError(DWORD dwError);
