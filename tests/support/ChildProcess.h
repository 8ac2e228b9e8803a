// A program of the build's bin folder, its output read through a pipe.
#pragma once

#include "TestPaths.h"

#include <cstdio>
#include <utility>

class CChildProcess
{
public:
    CChildProcess(const std::string& program, const std::string& arguments)
        : m_commandLine("\"\"" + GetBinFolder() + program + "\" " + arguments + "\"")
    {
    }

    // Runs it to its end (through cmd.exe): its exit code and its output.
    std::pair<DWORD, std::string> Finish()
    {
        std::pair<DWORD, std::string> result(~0u, "");
        FILE* const pPipe = ::_popen(m_commandLine.c_str(), "rb");
        char buffer[4096];
        for (size_t cb = 0; pPipe && (cb = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0;)
            result.second.append(buffer, cb);
        if (pPipe)
            result.first = static_cast<DWORD>(::_pclose(pPipe));
        return result;
    }

private:
    std::string m_commandLine;
};
