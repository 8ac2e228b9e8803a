// The debug session's own options; everything else it observes shows through
// ostrelin-trace (TraceToolTest).
#include "DebugSession.h"
#include "E2EPaths.h"

#include <gtest/gtest.h>

TEST(TraceSession, WorkingDirectoryAndEnvironment)
{
    CSessionOptions options;
    options.commandLine =
        "\"" + GetBinFolder() + "ostrelin-debuggee.exe\" cwd env:OSTRELIN_TRACE_TEST env:PATH";
    options.workingDirectory = GetTestTempFolder().substr(0, GetTestTempFolder().size() - 1);
    options.environment = {"OSTRELIN_TRACE_TEST=a b=c"};
    options.timeoutMs = 120000;
    int cStarted = 0;
    options.onStarted = [&cStarted](HANDLE) { ++cStarted; };
    CDebugSession session(options);
    const CSessionResult result = session.Run();
    EXPECT_EQ(1, cStarted);
    EXPECT_EQ((std::vector<std::string>{options.workingDirectory, "a b=c", "<unset>"}),
              result.records);
}
