#include "TraceFormat.h"

#include <cstdint>
#include <cstdio>

namespace
{
const char szIndent[] = "    ";

// Each line of text, ending after its '\n', quoted and indented. An empty
// text still gets a line, so that it shows as "".
std::string QuoteLines(const std::string& text, const char* pszFirstPrefix,
                       const char* pszNextPrefix)
{
    std::string out;
    size_t iLine = 0;
    do
    {
        const size_t iBreak = text.find('\n', iLine);
        const size_t iEnd = iBreak == std::string::npos ? text.size() : iBreak + 1;
        out += iLine == 0 ? pszFirstPrefix : pszNextPrefix;
        out += QuoteLine(text.substr(iLine, iEnd - iLine));
        out += '\n';
        iLine = iEnd;
    } while (iLine < text.size());
    return out;
}

std::string DescribeSize(size_t cb)
{
    if (cb == 0)
        return "empty";
    return std::to_string(cb) + (cb == 1 ? " byte" : " bytes");
}

std::string Printf(const char* pszFormat, unsigned long a, unsigned long b = 0)
{
    char szBuf[96];
    std::snprintf(szBuf, sizeof(szBuf), pszFormat, a, b);
    return szBuf;
}
} // namespace

std::string QuoteLine(const std::string& line)
{
    std::string out = "\"";
    for (size_t i = 0; i < line.size(); ++i)
    {
        const char ch = line[i];
        const unsigned char uch = static_cast<unsigned char>(ch);
        if (::IsDBCSLeadByte(uch) && i + 1 < line.size())
        {
            // The trail byte may look like a backslash; it belongs to the character.
            out += ch;
            out += line[++i];
        }
        else if (ch == '\n')
            out += "\\n";
        else if (ch == '\r')
            out += "\\r";
        else if (ch == '\t')
            out += "\\t";
        else if (ch == '\\')
            out += "\\\\";
        else if (ch == '"')
            out += "\\\"";
        else if (uch < 0x20 || uch == 0x7F)
            out += Printf("\\x%02lX", uch);
        else
            out += ch;
    }
    return out + "\"";
}

std::string ShowLines(const std::string& text)
{
    std::string out;
    bool fLineOpen = false;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char ch = text[i];
        const unsigned char uch = static_cast<unsigned char>(ch);
        if (ch == '\n' || (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
        {
            i += ch == '\r' ? 1 : 0;
            out += fLineOpen ? "\n" : std::string(szIndent) + "\n";
            fLineOpen = false;
            continue;
        }
        if (!fLineOpen)
            out += szIndent;
        fLineOpen = true;
        if (::IsDBCSLeadByte(uch) && i + 1 < text.size())
        {
            // The trail byte may look like a control byte; it belongs to the character.
            out += ch;
            out += text[++i];
        }
        else if ((uch < 0x20 && ch != '\t') || uch == 0x7F)
            out += Printf("<0x%02lX>", uch);
        else
            out += ch;
    }
    return fLineOpen ? out + "\n" : out;
}

std::string FormatElapsed(DWORD elapsedMs)
{
    return Printf("+%lu.%03lu s", elapsedMs / 1000, elapsedMs % 1000);
}

std::string FormatExitCode(DWORD exitCode)
{
    return Printf("%lu (0x%08lX)", exitCode, exitCode);
}

std::string CTraceFormatter::Format(const CTraceEvent& event)
{
    const std::string elapsed = FormatElapsed(event.elapsedMs);
    switch (event.kind)
    {
    case TraceEventKind::Record:
        return "---- record " + std::to_string(++m_cRecords) + ", " + elapsed + ", " +
               DescribeSize(event.text.size()) + " ----\n" +
               (m_fEscaped ? QuoteLines(event.text, szIndent, szIndent) : ShowLines(event.text));
    case TraceEventKind::MessageBox:
        return "---- message box " + std::to_string(++m_cBoxes) + ", " + elapsed + " ----\n" +
               QuoteLines(event.caption, "    caption: ", "             ") +
               QuoteLines(event.text, "    text:    ", "             ") +
               (event.dismissed ? "    dismissed with OK\n" : "    left open\n");
    case TraceEventKind::Crash:
        return "---- crash, " + elapsed + " ----\n" +
               Printf("    exception 0x%08lX at 0x%08lX, not handled by the program\n",
                      event.exceptionCode,
                      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(event.address)));
    }
    return std::string();
}
