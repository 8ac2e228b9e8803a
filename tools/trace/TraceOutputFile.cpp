#include "TraceOutputFile.h"

#include "TraceArguments.h"

#include "CoreFile.h"

#include <cstring>
#include <vector>

const char szTraceStart[] = "ostrelin-trace: started ";

namespace
{
const DWORD dwShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The file that CreateProcess starts for this name: .exe added when the name
// has no extension, looked for as the system looks for programs.
std::wstring FindProgramFile(const std::wstring& name)
{
    std::vector<wchar_t> buffer(0x8000);
    const DWORD cch = ::SearchPathW(nullptr, name.c_str(), L".exe",
                                    static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return cch > 0 && cch < buffer.size() ? std::wstring(buffer.data(), cch) : std::wstring();
}

// The same file, whatever its name; never a device.
bool IsSameFile(const std::wstring& first, const std::wstring& second)
{
    const CUniqueFileHandle hFirst(
        ::CreateFileW(first.c_str(), 0, dwShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    return hFirst && ::GetFileType(hFirst.Get()) == FILE_TYPE_DISK &&
           ::IsSameFile(hFirst.Get(), second.c_str());
}

bool IsDevice(const std::wstring& path)
{
    const CUniqueFileHandle hFile(
        ::CreateFileW(path.c_str(), 0, dwShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    return hFile && ::GetFileType(hFile.Get()) != FILE_TYPE_DISK;
}

// NUL in any folder and with any extension, as the system reads the name.
bool IsNul(const std::wstring& path)
{
    const size_t iName = path.find_last_of(L"\\/:");
    std::wstring name = path.substr(iName == std::wstring::npos ? 0 : iName + 1);
    name = name.substr(0, name.find(L'.'));
    name.erase(name.find_last_not_of(L' ') + 1);
    return ::CompareStringOrdinal(name.c_str(), -1, L"NUL", -1, TRUE) == CSTR_EQUAL;
}

// Empty, or starting as the tool's own output starts. A file that cannot be
// read is left to the creation to report.
bool MayHoldATrace(const std::wstring& path)
{
    const CUniqueFileHandle hFile(
        ::CreateFileW(path.c_str(), GENERIC_READ, dwShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!hFile || ::GetFileType(hFile.Get()) != FILE_TYPE_DISK)
        return true;
    char start[sizeof szTraceStart - 1] = {};
    DWORD cbRead = 0;
    if (!::ReadFile(hFile.Get(), start, sizeof start, &cbRead, nullptr))
        return true;
    return cbRead == 0 || (cbRead == sizeof start && std::memcmp(start, szTraceStart, cbRead) == 0);
}
} // namespace

OutputTarget CheckOutputTarget(const std::wstring& path, const std::wstring& commandLine)
{
    const DWORD dwAttributes = ::GetFileAttributesW(path.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return OutputTarget::Folder;
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        return OutputTarget::ReadOnly;
    if (IsDevice(path) && !IsNul(path))
        return OutputTarget::Device;
    const std::wstring program = FindProgramFile(ProgramNameOf(commandLine.c_str()));
    if (!program.empty() && IsSameFile(path, program))
        return OutputTarget::IsTheProgram;
    return MayHoldATrace(path) ? OutputTarget::Replaceable : OutputTarget::NotATrace;
}

DWORD CTraceOutputFile::Create(const std::wstring& path)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_dwResult = m_file.Create(path);
    m_fOpen = m_dwResult == ERROR_SUCCESS;
    return m_dwResult;
}

void CTraceOutputFile::Write(const std::string& text)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_fOpen)
        m_file.Write(text);
}

DWORD CTraceOutputFile::Close()
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_fOpen)
        m_dwResult = m_file.Commit();
    m_fOpen = false;
    return m_dwResult;
}
