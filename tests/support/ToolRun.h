// Runs a program of the build's bin folder as a user in a console would, and
// checks what it shows.
#pragma once

#include "BinFolder.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

struct CToolRun
{
    DWORD exitCode = ~0u;
    std::string output; // standard output and error as one stream, without CR
};

inline CToolRun RunTool(const std::string& strProgram, const std::string& strArguments)
{
    CToolRun run;
    CChildProcess child;
    if (!child.Start("\"" + GetBinFolder() + strProgram + "\" " + strArguments,
                     CChildProcess::PipeOutput | CChildProcess::PipeErrorToOutput))
        return run;
    // Wine's desktop process, started by the first window in the prefix, keeps the pipe open.
    child.ReadUntilExit(run.output);
    run.exitCode = child.ExitCode();
    run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
    return run;
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
