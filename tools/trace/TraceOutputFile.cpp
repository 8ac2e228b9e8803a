#include "TraceOutputFile.h"

CTraceOutputFile::~CTraceOutputFile()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
}

DWORD CTraceOutputFile::Create(const std::string& path)
{
    // Others may read it while the session runs.
    m_hFile = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_hFile == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
}

void CTraceOutputFile::Write(const std::string& text) const
{
    DWORD cbWritten = 0;
    if (m_hFile != INVALID_HANDLE_VALUE && !text.empty())
        ::WriteFile(m_hFile, text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr);
}
