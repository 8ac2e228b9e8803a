#include "TraceOutputFile.h"

DWORD CTraceOutputFile::Create(const std::string& path)
{
    // Others may read it while the session runs.
    m_hFile.Attach(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_hFile ? ERROR_SUCCESS : ::GetLastError();
}

void CTraceOutputFile::Write(const std::string& text) const
{
    DWORD cbWritten = 0;
    if (m_hFile && !text.empty())
        ::WriteFile(m_hFile.Get(), text.data(), static_cast<DWORD>(text.size()), &cbWritten,
                    nullptr);
}
