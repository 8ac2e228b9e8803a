#include "ConsoleOutput.h"

CConsoleOutput::CConsoleOutput(DWORD nStdHandle) : m_hOutput(::GetStdHandle(nStdHandle))
{
    DWORD dwMode = 0;
    m_isConsole = ::GetConsoleMode(m_hOutput, &dwMode) != FALSE;
}

void CConsoleOutput::Write(const std::string& text) const
{
    if (m_pCopy != nullptr)
        m_pCopy->Write(text);
    if (text.empty() || m_hOutput == nullptr || m_hOutput == INVALID_HANDLE_VALUE)
        return;
    const int cb = static_cast<int>(text.size());
    DWORD cWritten = 0;
    if (m_isConsole)
    {
        const int cch = ::MultiByteToWideChar(CP_ACP, 0, text.data(), cb, nullptr, 0);
        std::wstring wide(static_cast<size_t>(cch), L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), cb, &wide[0], cch);
        ::WriteConsoleW(m_hOutput, wide.data(), static_cast<DWORD>(cch), &cWritten, nullptr);
    }
    else
    {
        // Redirected: the bytes as they are, for a file or another program.
        ::WriteFile(m_hOutput, text.data(), static_cast<DWORD>(cb), &cWritten, nullptr);
    }
}
