// The readable form of what a debug session observes, for support staff.
#pragma once

#include "TraceEvent.h"

#include <string>

// Numbers the records and boxes of one session and turns each event into
// text: a header line, then the exact text as quoted, escaped lines.
class CTraceFormatter
{
public:
    std::string Format(const CTraceEvent& event);

private:
    int m_cRecords = 0;
    int m_cBoxes = 0;
};

// One line of text quoted the way C writes it: \n, \r, \t, \\, \" and \xHH
// for other control bytes; characters of the code page stay as they are.
std::string QuoteLine(const std::string& line);

// "+1.250 s"
std::string FormatElapsed(DWORD elapsedMs);

// "3221225477 (0xC0000005)"
std::string FormatExitCode(DWORD exitCode);
