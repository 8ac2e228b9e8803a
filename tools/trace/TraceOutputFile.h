// The --output file: a copy of everything ostrelin-trace shows, written at
// once, so that it is complete whenever the session ends.
#pragma once

#include "CoreHandle.h"

#include <string>

class CTraceOutputFile
{
public:
    // Creates or replaces the file; ERROR_SUCCESS or the Win32 error.
    DWORD Create(const std::string& path);
    // The bytes as they are, like a redirected console.
    void Write(const std::string& text) const;

private:
    CUniqueFileHandle m_hFile;
};
