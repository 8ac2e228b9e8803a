// Generated command lines against the argument lookup and the instance key,
// in the process's ANSI code page (the CTest variant with LC_ALL=ja_JP.UTF-8
// runs under the double-byte code page 932). Each line ends right before a
// page that may not be read, so a read past its end crashes the test.
//   OSTRELIN_CMDLINE_ITERATIONS  lines to try (default 20000, long 1000000)
//   OSTRELIN_CMDLINE_SEED        the random seed (default fixed)
#include "ReliabilitySettings.h"

#include "LaunchPaths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#ifndef OSTRELIN_CMDLINE_SUITE
#define OSTRELIN_CMDLINE_SUITE CommandLineFuzz
#endif

namespace
{
const char szName[] = "%ResourceRoot%";

// Two pages, the second without access: Place() puts a text so that its
// terminating zero is the first page's last byte.
class CGuardedText
{
public:
    CGuardedText()
    {
        SYSTEM_INFO info = {};
        ::GetSystemInfo(&info);
        m_cbPage = info.dwPageSize;
        m_pb = static_cast<char*>(
            ::VirtualAlloc(nullptr, 2 * m_cbPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD dwOld = 0;
        if (m_pb != nullptr)
            ::VirtualProtect(m_pb + m_cbPage, m_cbPage, PAGE_NOACCESS, &dwOld);
    }
    ~CGuardedText()
    {
        if (m_pb != nullptr)
            ::VirtualFree(m_pb, 0, MEM_RELEASE);
    }
    CGuardedText(const CGuardedText&) = delete;
    CGuardedText& operator=(const CGuardedText&) = delete;

    bool GuardIsInPlace() const
    {
        return m_pb != nullptr && !::IsBadReadPtr(m_pb + m_cbPage - 1, 1) &&
               ::IsBadReadPtr(m_pb + m_cbPage, 1);
    }
    size_t Capacity() const { return m_cbPage - 1; }
    const char* Place(const std::string& text)
    {
        char* psz = m_pb + m_cbPage - 1 - text.size();
        std::memcpy(psz, text.c_str(), text.size() + 1);
        return psz;
    }

private:
    char* m_pb = nullptr;
    size_t m_cbPage = 0;
};

// Byte positions where the characters of the text start, by the rule of the
// active code page: a lead byte and the byte after it are one character; a
// lead byte at the very end stands alone.
std::vector<bool> CharacterStarts(const std::string& text)
{
    std::vector<bool> starts(text.size() + 1, false);
    for (size_t i = 0; i < text.size();)
    {
        starts[i] = true;
        i += (i + 1 < text.size() && ::IsDBCSLeadByte(static_cast<BYTE>(text[i]))) ? 2 : 1;
    }
    starts[text.size()] = true;
    return starts;
}

// A single-byte character ch at i.
bool IsCharAt(const std::string& text, const std::vector<bool>& starts, size_t i, char ch)
{
    return i < text.size() && starts[i] && text[i] == ch && (i + 1 >= text.size() || starts[i + 1]);
}

// The argument's value as the lookup rules define it, worked out on its own.
std::string ExpectedValue(const std::string& line)
{
    const std::vector<bool> starts = CharacterStarts(line);
    const size_t cchName = std::strlen(szName);
    for (size_t p = 0; p < line.size(); ++p)
    {
        if (!starts[p] || line.compare(p, cchName, szName) != 0)
            continue;
        // A blank as a whole character right before it, "=" right after it.
        if (p == 0 || !IsCharAt(line, starts, p - 1, ' ') ||
            !IsCharAt(line, starts, p + cchName, '='))
            continue;
        size_t iValue = p + cchName + 1;
        char chClose = ' ';
        if (IsCharAt(line, starts, iValue, '"') || IsCharAt(line, starts, iValue, '\''))
            chClose = line[iValue++];
        for (size_t q = iValue; q < line.size(); ++q)
        {
            if (IsCharAt(line, starts, q, chClose))
                return line.substr(iValue, q - iValue);
        }
        return chClose == ' ' ? line.substr(iValue) : std::string();
    }
    return std::string();
}

// Empty when the key keeps its invariants; otherwise the broken one.
std::string BrokenKeyInvariant(const std::string& key)
{
    const std::vector<bool> starts = CharacterStarts(key);
    for (size_t i = 0; i < key.size(); ++i)
    {
        if (!starts[i] || (i + 1 < key.size() && !starts[i + 1]))
            continue; // a double-byte character: none of the rules applies
        const char ch = key[i];
        if (ch >= 'A' && ch <= 'Z')
            return "a capital letter";
        if (std::strchr("\\/.%\" ", ch) != nullptr)
            return std::string("the character ") + ch;
        if (ch == '_' && i + 1 < key.size() && IsCharAt(key, starts, i + 1, '_'))
            return "two _ in a row";
        if (ch == '_' && i + 1 == key.size())
            return "a trailing _";
    }
    return std::string();
}

class CLineGenerator
{
public:
    explicit CLineGenerator(unsigned long nSeed) : m_rng(nSeed) {}

    std::string Next(bool& fLoneLeadAtEnd)
    {
        static const char* const pieces[] = {
            "%ResourceRoot%",
            "%ResourceRoot%=",
            " %ResourceRoot%=",
            " %ResourceRoot%=\"",
            " %ResourceRoot%='",
            "%resourceroot%",
            "%ResourceRoot",
            " ",
            "  ",
            "\t",
            "\"",
            "'",
            "=",
            "\\",
            "/",
            ".",
            ".exe",
            ".EXE",
            "_",
            "__",
            "%",
            "C:",
            "D:\\Games\\Club",
            "client.exe",
            "\"C:\\Program Files\\Card Room\\bin\\Ostrelin.exe\"",
            "\r",
            "\n",
        };
        std::string line;
        const size_t cPieces = Below(40);
        for (size_t i = 0; i < cPieces; ++i)
        {
            switch (Below(6))
            {
            case 0:
            case 1:
                line += pieces[Below(std::size(pieces))];
                break;
            case 2:
                line += static_cast<char>(Below(2) ? 'A' + Below(26) : 'a' + Below(26));
                break;
            case 3:
                line += static_cast<char>(0x80 + Below(0x80)); // high bytes: lead, trail or single
                break;
            case 4:
                line += DoubleByteCharacter();
                break;
            default:
                line += static_cast<char>(1 + Below(0x7F));
                break;
            }
        }
        fLoneLeadAtEnd = Below(4) == 0;
        if (fLoneLeadAtEnd)
            line += static_cast<char>(LeadByte());
        return line;
    }

private:
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_rng); }

    // A lead byte of the code page; 0x81 where there is none (a plain character).
    int LeadByte()
    {
        for (int cTries = 0; cTries < 64; ++cTries)
        {
            const int b = 0x81 + static_cast<int>(Below(0x7E));
            if (::IsDBCSLeadByte(static_cast<BYTE>(b)))
                return b;
        }
        return 0x81;
    }

    // A lead byte and a second byte that often equals a character the rules
    // look for: \ _ / . " blank or a capital letter.
    std::string DoubleByteCharacter()
    {
        static const char trails[] = "\\_/.\" %=AZ@`|~";
        std::string pair(1, static_cast<char>(LeadByte()));
        pair +=
            Below(2) ? trails[Below(sizeof(trails) - 1)] : static_cast<char>(0x40 + Below(0xBD));
        return pair;
    }

    std::mt19937 m_rng;
};
} // namespace

TEST(OSTRELIN_CMDLINE_SUITE, LookupAndKeyStayInsideTheTextAndKeepTheirInvariants)
{
    const unsigned long nSeed = CountFromEnvironment("OSTRELIN_CMDLINE_SEED", 932, 932);
    const unsigned long cLines =
        CountFromEnvironment("OSTRELIN_CMDLINE_ITERATIONS", 20000, 1000000);
    const UINT nCodePage = ::GetACP();
    std::printf("code page %u, seed %lu, %lu command lines (replay: OSTRELIN_CMDLINE_SEED=%lu)\n",
                nCodePage, nSeed, cLines, nSeed);

    CGuardedText guarded;
    ASSERT_TRUE(guarded.GuardIsInPlace());
    CLineGenerator generator(nSeed);
    unsigned long cWithName = 0, cValues = 0, cQuotedValues = 0, cLoneLead = 0, cKeysUnderscore = 0,
                  cEmptyKeys = 0, cFailures = 0;
    size_t cbLongestKey = 0;
    for (unsigned long iLine = 0; iLine < cLines && cFailures < 20; ++iLine)
    {
        bool fLoneLead = false;
        std::string line = generator.Next(fLoneLead);
        if (line.size() > guarded.Capacity())
            line.resize(guarded.Capacity());
        cLoneLead += fLoneLead && ::IsDBCSLeadByte(static_cast<BYTE>(line.back()));
        cWithName += line.find(szName) != std::string::npos;
        const char* pszLine = guarded.Place(line);

        const std::string value = FindCommandLineArgument(pszLine, szName).GetString();
        const std::string key = MakeInstanceKey(pszLine).GetString();

        const std::string expected = ExpectedValue(line);
        if (value != expected)
        {
            ++cFailures;
            ADD_FAILURE() << "line " << iLine << ": " << ::testing::PrintToString(line)
                          << "\n  value " << ::testing::PrintToString(value) << ", expected "
                          << ::testing::PrintToString(expected);
        }
        const std::string broken = BrokenKeyInvariant(key);
        if (!broken.empty())
        {
            ++cFailures;
            ADD_FAILURE() << "line " << iLine << ": " << ::testing::PrintToString(line)
                          << "\n  key " << ::testing::PrintToString(key) << " has " << broken;
        }
        cValues += !value.empty();
        cQuotedValues +=
            !value.empty() && line.find(std::string(szName) + "=" + value) == std::string::npos;
        cKeysUnderscore += !key.empty() && key[0] == '_';
        cEmptyKeys += key.empty();
        cbLongestKey = std::max(cbLongestKey, key.size());
    }
    std::printf(
        "tried %lu lines: %lu with the name, %lu values found (%lu quoted), %lu ending in a "
        "lone lead byte; keys: %lu empty, %lu beginning with _, the longest %zu bytes; "
        "no read past the end, %lu broken values or keys\n",
        cLines, cWithName, cValues, cQuotedValues, cLoneLead, cEmptyKeys, cKeysUnderscore,
        cbLongestKey, cFailures);
    EXPECT_EQ(0u, cFailures);
    EXPECT_GT(cValues, 0u);
}
