#include "ConfigForm.h"

#include "ConfigScramble.h"

#include <cstring>

namespace
{
const size_t nLongestName = 260;

bool StartsWith(const std::string& strData, size_t iAt, const char* pszPrefix)
{
    return strData.compare(iAt, std::strlen(pszPrefix), pszPrefix) == 0;
}

bool StartsWithByteOrderMark(const std::string& strData, size_t iAt)
{
    return StartsWith(strData, iAt, "\xEF\xBB\xBF") || StartsWith(strData, iAt, "\xFF\xFE") ||
           StartsWith(strData, iAt, "\xFE\xFF");
}

// Plain XML opens with a byte order mark or, after blanks, with '<'.
bool LooksPlain(const std::string& strData)
{
    const size_t iFirst = strData.find_first_not_of(" \t\r\n");
    return StartsWithByteOrderMark(strData, 0) ||
           (iFirst != std::string::npos && strData[iFirst] == '<');
}

bool IsFileName(const std::string& strName)
{
    if (strName.empty() || strName.size() > nLongestName)
        return false;
    for (const char ch : strName)
    {
        if (static_cast<unsigned char>(ch) < 0x20 || std::strchr("<>:\"/\\|?*", ch) != nullptr)
            return false;
    }
    return true;
}
} // namespace

bool IsSameScrambleName(const std::string& strName, const std::string& strReadAs)
{
    const auto fold = [](char ch) { return ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch; };
    if (strName.size() != strReadAs.size())
        return false;
    for (size_t i = 0; i < strName.size(); ++i)
    {
        if (fold(strName[i]) != fold(strReadAs[i]))
            return false;
    }
    return true;
}

std::string FindScrambledName(const std::string& strData, const std::string& strReadAs)
{
    if (IsScrambledConfig(strData.data(), strData.size(), strReadAs.data(), strReadAs.size()))
        return strReadAs;
    if (LooksPlain(strData))
        return std::string();
    // Complemented twice is plain again: look at the head in plain form.
    const std::string strHead = ScrambleConfig(strData.substr(0, nLongestName + 3), std::string());
    size_t iDocument = 0;
    while (iDocument < strHead.size() && strHead[iDocument] != '<' &&
           !StartsWithByteOrderMark(strHead, iDocument))
        ++iDocument;
    if (iDocument == strHead.size())
        return std::string();
    // Blanks that open the document are not part of the name.
    std::string strName = strHead.substr(0, iDocument);
    strName.erase(strName.find_last_not_of(" \t\r\n") + 1);
    return IsFileName(strName) ? strName : std::string();
}

std::string DescribeForm(const std::string& strName, const std::string& strReadAs)
{
    if (strName.empty())
        return "plain";
    std::string strForm = "scrambled for \"" + strName + "\"";
    if (!IsSameScrambleName(strName, strReadAs))
        strForm += ": under the name \"" + strReadAs + "\" the launcher cannot read it";
    return strForm;
}
