#include "DebuggeeMemory.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
// Longer texts are cut here; nothing honest writes that much in one record.
const size_t nLongestText = 16 * 1024 * 1024;
const uintptr_t nPageSize = 4096;

// Bytes up to (not including) the first zero unit of cbUnit bytes. Reads
// page by page, since one unreadable byte fails a whole ReadProcessMemory.
std::vector<char> ReadTerminated(HANDLE hProcess, const void* pAddress, size_t cbUnit)
{
    std::vector<char> bytes;
    uintptr_t nAt = reinterpret_cast<uintptr_t>(pAddress);
    char chunk[nPageSize];
    size_t iScan = 0; // the first unit not yet looked at
    while (bytes.size() < nLongestText)
    {
        const size_t cbChunk = static_cast<size_t>(nPageSize - nAt % nPageSize);
        SIZE_T cbRead = 0;
        if (!::ReadProcessMemory(hProcess, reinterpret_cast<const void*>(nAt), chunk, cbChunk,
                                 &cbRead) ||
            cbRead == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + cbRead);
        nAt += cbRead;

        for (; iScan + cbUnit <= bytes.size(); iScan += cbUnit)
        {
            if (std::memcmp(&bytes[iScan], "\0\0", cbUnit) == 0)
            {
                bytes.resize(iScan);
                return bytes;
            }
        }
    }
    bytes.resize(bytes.size() - bytes.size() % cbUnit);
    return bytes;
}
} // namespace

std::string ReadDebuggeeText(HANDLE hProcess, const void* pAddress)
{
    const std::vector<char> bytes = ReadTerminated(hProcess, pAddress, 1);
    return std::string(bytes.begin(), bytes.end());
}

std::string ReadDebuggeeWideText(HANDLE hProcess, const void* pAddress)
{
    const std::vector<char> bytes = ReadTerminated(hProcess, pAddress, sizeof(wchar_t));
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty())
        std::memcpy(&wide[0], bytes.data(), bytes.size());
    if (wide.empty())
        return std::string();
    const int cchWide = static_cast<int>(wide.size());
    const int cb =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), cchWide, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(cb), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), cchWide, &text[0], cb, nullptr, nullptr);
    return text;
}
