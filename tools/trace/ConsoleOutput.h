// Writes text of the active ANSI code page to a standard handle, at once.
#pragma once

#include "TraceOutputFile.h"

#include <windows.h>

#include <string>

class CConsoleOutput
{
public:
    explicit CConsoleOutput(DWORD nStdHandle);
    void Write(const std::string& text) const;
    // Everything written from now on goes to the file as well.
    void CopyTo(CTraceOutputFile& copy) { m_pCopy = &copy; }

private:
    HANDLE m_hOutput;
    bool m_isConsole; // a console shows the OEM code page: write it wide
    CTraceOutputFile* m_pCopy = nullptr;
};
