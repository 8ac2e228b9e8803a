#include "ConfigScramble.h"

#include <gtest/gtest.h>

namespace
{
// What the loader gets from the data of a file of the given name.
std::string Unscramble(std::string strData, const std::string& strName)
{
    return strData.substr(
        UnscrambleConfigInPlace(&strData[0], strData.size(), strName.data(), strName.size()));
}

TEST(ConfigScramble, RoundTrip)
{
    std::string strAllBytes;
    for (int i = 0; i < 256; ++i)
        strAllBytes += static_cast<char>(i);
    for (const std::string& strXML : {std::string(), std::string("<Config/>"), strAllBytes})
    {
        const std::string strScrambled = ScrambleConfig(strXML, "Config.xml");
        EXPECT_EQ(strXML.size() + 10, strScrambled.size());
        EXPECT_EQ(strXML, Unscramble(strScrambled, "cONFIG.XML"));
    }
}

TEST(ConfigScramble, OnlyTheNameMarks)
{
    const std::string strAccented = ScrambleConfig("<a/>", "\xC9.xml");
    EXPECT_EQ(strAccented, Unscramble(strAccented, "\xE9.xml")); // only ASCII letters fold
    EXPECT_EQ("<a/>", Unscramble("<a/>", ""));                   // no name, no marker
    EXPECT_EQ("<a/>", Unscramble("<a/>", "Config.xml"));         // shorter than the name
}
} // namespace
