#include "ConfigScramble.h"

namespace
{
char Complement(char ch)
{
    return static_cast<char>(~static_cast<unsigned char>(ch));
}

// Only ASCII letters fold: the name is compared byte for byte otherwise,
// whatever the code page.
unsigned char FoldAscii(char ch)
{
    const unsigned char b = static_cast<unsigned char>(ch);
    return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}
} // namespace

bool IsScrambledConfig(const char* pchData, std::size_t cbData, const char* pchName,
                       std::size_t cchName)
{
    if (cchName == 0 || cbData < cchName)
        return false;
    for (std::size_t i = 0; i < cchName; ++i)
    {
        if (FoldAscii(Complement(pchData[i])) != FoldAscii(pchName[i]))
            return false;
    }
    return true;
}

std::size_t UnscrambleConfigInPlace(char* pchData, std::size_t cbData, const char* pchName,
                                    std::size_t cchName)
{
    if (!IsScrambledConfig(pchData, cbData, pchName, cchName))
        return 0;
    for (std::size_t i = 0; i < cbData; ++i)
        pchData[i] = Complement(pchData[i]);
    return cchName;
}

std::string ScrambleConfig(const std::string& strXML, const std::string& strName)
{
    std::string strScrambled = strName + strXML;
    for (char& ch : strScrambled)
        ch = Complement(ch);
    return strScrambled;
}
