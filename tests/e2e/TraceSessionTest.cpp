// The debug session on a program that does what its arguments say.
#include "DebugSession.h"
#include "E2EPaths.h"
#include "LauncherTexts.h"

#include <gtest/gtest.h>

namespace
{
CSessionOptions DebuggeeOptions(const std::string& arguments)
{
    CSessionOptions options;
    options.commandLine = "\"" + GetBinFolder() + "ostrelin-debuggee.exe\" " + arguments;
    options.dismissBoxes = true;
    options.timeoutMs = 120000;
    return options;
}

CSessionResult RunDebuggee(const CSessionOptions& options)
{
    CDebugSession session(options);
    return session.Run();
}

std::vector<TraceEventKind> Kinds(const CSessionResult& result)
{
    std::vector<TraceEventKind> kinds;
    for (const CTraceEvent& event : result.events)
        kinds.push_back(event.kind);
    return kinds;
}
} // namespace

TEST(TraceSession, RecordsAndBoxesExactlyAndInOrder)
{
    std::vector<TraceEventKind> called;
    CSessionOptions options = DebuggeeOptions(
        "record:one \"record:two\\r\\nlines\\n\" record: \"box:Cap tion|Text\\nline 2 \" "
        "record:\\n\\n exit:0xC0000005");
    options.onEvent = [&called](const CTraceEvent& event) { called.push_back(event.kind); };
    const CSessionResult result = RunDebuggee(options);

    EXPECT_EQ(SessionOutcome::Exited, result.outcome);
    EXPECT_EQ(0xC0000005u, result.exitCode);
    EXPECT_EQ((std::vector<std::string>{"one", "two\r\nlines\n", "", "\n\n"}), result.records);
    EXPECT_EQ((std::vector<CMessageBoxSeen>{{"Cap tion", "Text\nline 2 ", true}}), result.boxes);
    const std::vector<TraceEventKind> expected = {
        TraceEventKind::Record, TraceEventKind::Record, TraceEventKind::Record,
        TraceEventKind::MessageBox, TraceEventKind::Record};
    EXPECT_EQ(expected, Kinds(result));
    EXPECT_EQ(expected, called);
}

TEST(TraceSession, RecordLongerThanAnEventLengthComesWhole)
{
    const CSessionResult result = RunDebuggee(DebuggeeOptions("long:70000"));
    std::string expected(70000, ' ');
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<char>('a' + i % 26);
    ASSERT_EQ(1u, result.records.size());
    EXPECT_EQ(expected.size(), result.records[0].size());
    EXPECT_TRUE(expected == result.records[0]);
}

TEST(TraceSession, BoxLeftOpenEndsAtTheTimeOut)
{
    CSessionOptions options = DebuggeeOptions("record:before box:A|B record:after");
    options.dismissBoxes = false;
    options.timeoutMs = 10000;
    const CSessionResult result = RunDebuggee(options);

    EXPECT_EQ(SessionOutcome::TimedOut, result.outcome);
    EXPECT_GE(result.elapsedMs, 10000u);
    EXPECT_EQ(std::vector<std::string>{"before"}, result.records);
    EXPECT_EQ((std::vector<CMessageBoxSeen>{{"A", "B", false}}), result.boxes);
}

TEST(TraceSession, UnhandledExceptionIsReportedAndEndsTheProgram)
{
    const CSessionResult result = RunDebuggee(DebuggeeOptions("record:x crash record:y"));
    EXPECT_EQ(SessionOutcome::Exited, result.outcome);
    EXPECT_EQ((std::vector<TraceEventKind>{TraceEventKind::Record, TraceEventKind::Crash}),
              Kinds(result));
    ASSERT_EQ(2u, result.events.size());
    EXPECT_EQ(0xE0C0FFEEu, result.events[1].exceptionCode);
    EXPECT_EQ(0xE0C0FFEEu, result.exitCode);
}

TEST(TraceSession, WorkingDirectoryAndEnvironment)
{
    CSessionOptions options = DebuggeeOptions("cwd env:OSTRELIN_TRACE_TEST");
    const std::string folder = GetTestTempFolder().substr(0, GetTestTempFolder().size() - 1);
    options.workingDirectory = folder;
    options.environment = GetCurrentEnvironment();
    options.environment->push_back("OSTRELIN_TRACE_TEST=a b=c");
    const CSessionResult result = RunDebuggee(options);
    EXPECT_EQ((std::vector<std::string>{folder, "a b=c"}), result.records);
}

TEST(TraceSession, ProgramThatCannotStart)
{
    CSessionOptions options;
    options.commandLine = "\"" + GetBinFolder() + "no-such-program.exe\"";
    const CSessionResult result = RunDebuggee(options);
    EXPECT_EQ(SessionOutcome::StartFailed, result.outcome);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), result.startError);
    EXPECT_TRUE(result.events.empty());
}
