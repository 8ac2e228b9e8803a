// Runs a program of the build's bin folder as a user in a console would, and
// checks what it shows.
#pragma once

#include "BinFolder.h"
#include "ChildProcess.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct CToolRun
{
    DWORD exitCode = ~0u;
    std::string output; // standard output and error as one stream, without CR
};

// Arguments in any letters: the program reads them wide.
inline CToolRun RunTool(const std::string& strProgram, const std::wstring& strArguments)
{
    CToolRun run;
    CChildProcess child;
    if (!child.Start(L"\"" + WideFrom(GetBinFolder() + strProgram, CP_ACP) + L"\" " + strArguments,
                     CChildProcess::PipeOutput | CChildProcess::PipeErrorToOutput))
        return run;
    // Wine's desktop process, started by the first window in the prefix, keeps the pipe open.
    child.ReadUntilExit(run.output);
    run.exitCode = child.ExitCode();
    run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
    return run;
}

inline CToolRun RunTool(const std::string& strProgram, const std::string& strArguments)
{
    return RunTool(strProgram, WideFrom(strArguments, CP_ACP));
}

// The bytes of a file whatever its letters; empty when it cannot be read.
inline std::string ReadBytes(const std::wstring& strPath)
{
    std::ostringstream bytes;
    bytes << std::ifstream(std::filesystem::path(strPath), std::ios::binary).rdbuf();
    return bytes.str();
}

inline bool WriteBytes(const std::wstring& strPath, const std::string& strBytes)
{
    std::ofstream file(std::filesystem::path(strPath), std::ios::binary);
    return static_cast<bool>(file << strBytes);
}

// Wine's Z:\dev\full, the Unix device that is always full.
inline bool HasFullDevice()
{
    return CUniqueFileHandle(::CreateFileW(L"Z:\\dev\\full", GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr))
        .IsValid();
}

// Each part shown, in this order.
inline testing::AssertionResult ShowsInOrder(const std::string& output,
                                             const std::vector<std::string>& parts)
{
    size_t iAt = 0;
    for (const std::string& part : parts)
    {
        if ((iAt = output.find(part, iAt)) == std::string::npos)
            return testing::AssertionFailure() << "no \"" << part << "\" in\n" << output;
    }
    return testing::AssertionSuccess();
}
