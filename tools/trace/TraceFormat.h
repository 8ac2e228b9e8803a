// The readable form of what a debug session observes, for support staff.
#pragma once

#include "TraceEvent.h"

#include <string>

// Numbers the records and boxes of one session and turns each event into
// text: a header line, then a record's lines as written (or, escaped, as
// quoted lines) and a box's caption and text as quoted lines.
class CTraceFormatter
{
public:
    explicit CTraceFormatter(bool fEscaped = false) : m_fEscaped(fEscaped) {}
    std::string Format(const CTraceEvent& event);

private:
    bool m_fEscaped;
    int m_cRecords = 0;
    int m_cBoxes = 0;
};

// A record's text as written, each line indented: a line break ends a line;
// other control bytes but the tab, which would upset the layout, as <0xHH>.
std::string ShowLines(const std::string& text);

// One line of text quoted the way C writes it: \n, \r, \t, \\, \" and \xHH
// for other control bytes; characters of the code page stay as they are.
std::string QuoteLine(const std::string& line);

// "+1.250 s"
std::string FormatElapsed(DWORD elapsedMs);

// "3221225477 (0xC0000005)"
std::string FormatExitCode(DWORD exitCode);
