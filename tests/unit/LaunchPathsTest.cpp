// The three texts the launcher works out at start, then the error layer. CTest
// runs this program in the ANSI code page 1252 and again under the double-byte
// code page 932 (LC_ALL=ja_JP.UTF-8), whose trail bytes include '\\' (0x5C),
// '_' (0x5F) and 'A'-'Z'. Every command line ends right before a page without
// access, so that a read past its end crashes the test.
#include "CoreError.h"
#include "CoreFile.h"
#include "CoreTrace.h"
#include "DebugOutputCapture.h"
#include "LaunchPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
// "表" and "ソ" end in 0x5C, "ダ" ends in '_', "ア" ends in 'A'.
#define HYO "\x95\x5C"
#define SO "\x83\x5C"
#define DA "\x83\x5F"
#define KA "\x83\x41"

struct CTextCase
{
    UINT nCodePage; // the row holds only in this code page; 0: in any
    const char* pszInput;
    const char* pszExpected;
};

const std::vector<CTextCase> lookups = {
    {0, "client.exe %ResourceRoot%=D:\\Card Data", "D:\\Card"},
    {0, "client.exe %ResourceRoot%=\"D:\\Card Data\" -x", "D:\\Card Data"},
    {0, "client.exe %ResourceRoot%='D:\\Card Data' -x", "D:\\Card Data"},
    {0, "client.exe %ResourceRoot%=\"D:\\Card Data -x", ""},
    {0, "client.exe %ResourceRoot%=", ""},
    {0, "client.exe %ResourceRoot%=\"\" -x", ""},
    {0, "client.exe %ResourceRoot%", ""},
    {0, "client.exe -a%ResourceRoot%=X %ResourceRoot%=Y", "Y"},
    {0, "client.exe\t%ResourceRoot%=X", ""},
    {0, "client.exe \"%ResourceRoot%=X", ""},
    {0, "%ResourceRoot%=X", ""},
    {0, "client.exe %ResourceRoot%:X %ResourceRoot%=Z", "Z"},
    {0, "client.exe %resourceroot%=X", ""},
    {0, "client.exe %ResourceRoot%=a'b\"c=d\te f", "a'b\"c=d\te"},
    {0, "client.exe %ResourceRoot%=\"a'b\"", "a'b"},
    {0, "client.exe %ResourceRoot%=X %ResourceRoot%=Y", "X"},
    {932, "x.exe %ResourceRoot%=D:\\" SO " -y", "D:\\" SO},
    // The blank before the name is a whole character, never a trail byte.
    {932, "x.exe \x83 %ResourceRoot%=D:\\x", ""},
    {1252, "x.exe \x83 %ResourceRoot%=D:\\x", "D:\\x"},
    {932, "x.exe \x83 %ResourceRoot%=D:\\x %ResourceRoot%=E:\\y", "E:\\y"},
};

std::string Repeated(const char* psz, int c)
{
    std::string str;
    while (c-- > 0)
        str += psz;
    return str;
}

// A key over the limit whose kept tail would start on a trail byte (0x5C)
// if it were cut by bytes: it starts on the next character.
const std::string strLongDoubleByteCommand = "C:\\x" + Repeated(SO, 300) + "\\client.exe";
const std::string strLongDoubleByteKey = "a6f3d90747dfe437_" + Repeated(SO, 121);
// Under the limit in characters, over it in bytes: kept whole.
const std::string strWideKeyCommand = "C:\\" + Repeated(SO, 200) + "\\client.exe";
const std::string strWideKey = "c:_" + Repeated(SO, 200);

const std::vector<CTextCase> keys = {
    {0, "\"D:\\Program Files\\Card Room\\bin\\client.exe\" %ResourceRoot%=\"D:\\Card Data\"",
     "d:_program_files_card_room_bin"},
    {0, "D:/Games/Club/client.exe", "d:_games_club"},
    {0, "\"\\\\server\\share\\client.exe\"", "_server_share"},
    {0, "\"D:\\Games\\Club.\\client.exe\"", "d:_games_club"},
    {0, "D:\\GAMES\\CLIENT.EXE -x", "d:_games_client_exe_-x"},
    {0, "D:\\tools.exec\\client.exe", "d:"},
    {0, "client.exe", "client"},
    // The same directory however it is written; what follows ".exe" does not matter.
    {0, "d:\\\\games//club\\client.exe -y", "d:_games_club"},
    {0, " \t\r\n\v\f\"D:\\Games\\Club\\client.exe\"  ", "d:_games_club"},
    {0, "client \t\r\n\v\f", "client"},
    {0, "D:\\%Games%\\x.exe", "d:_games"},
    {0, ".exe", "_exe"},
    {0, "___", ""},
    {1252, "C:\\CAF\xC9\\x.exe", "c:_caf\xE9"},
    {932, "C:\\" HYO "\\client.exe", "c:_" HYO},
    {932, "\"C:\\" DA "\\client.exe\"", "c:_" DA},
    {932, "C:\\" KA "\\client.exe", "c:_" KA},
    {932, "C:\\" SO SO "\\bin\\client.exe", "c:_" SO SO "_bin"},
    {932, "C:\\x" SO "_\\client.exe", "c:_x" SO},
    {932, strLongDoubleByteCommand.c_str(), strLongDoubleByteKey.c_str()},
    {932, strWideKeyCommand.c_str(), strWideKey.c_str()},
    {0, "AB\x83", "ab\x83"},
};

// The configuration path from a root and from the launcher's path without one.
const std::vector<CTextCase> roots = {
    {0, "D:\\Data", "D:\\Data\\bin\\Config.xml"},
    {0, "D:\\Data\\", "D:\\Data\\\\bin\\Config.xml"},
    {0, "rel/dir", "rel/dir\\bin\\Config.xml"},
};
const std::vector<CTextCase> launchers = {
    {0, "D:\\Games\\Club\\bin\\client.exe", "D:\\Games\\Club\\bin/../\\bin\\Config.xml"},
    {0, "client.exe", "./../\\bin\\Config.xml"},
    {932, "C:\\" SO "\\client" SO, "C:\\" SO "/../\\bin\\Config.xml"},
};

// The text copied so that its terminating zero is the last byte before a page
// without access.
const char* AtPageEnd(const char* psz)
{
    static char* const pbPages = []
    {
        char* pb = static_cast<char*>(::VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
        DWORD dwOld = 0;
        ::VirtualProtect(pb + 4096, 4096, PAGE_NOACCESS, &dwOld);
        return pb;
    }();
    const size_t cb = std::strlen(psz) + 1;
    return static_cast<const char*>(std::memcpy(pbPages + 4096 - cb, psz, cb));
}

CWideText Wide(const char* psz)
{
    return WideFromText(psz, static_cast<int>(std::strlen(psz)));
}

} // namespace

TEST(LaunchPaths, TablesInTheActiveCodePage)
{
    const char* pszCodePage = std::getenv("OSTRELIN_CODE_PAGE");
    ASSERT_EQ(pszCodePage ? std::strtoul(pszCodePage, nullptr, 10) : ::GetACP(), ::GetACP());
    ASSERT_TRUE(::IsBadReadPtr(AtPageEnd("") + 1, 1));
    // long-path-test runs a copy of this program from a folder deeper than the
    // 260-character buffer: the path comes back whole.
    const std::string strPath = AnsiFromWide(GetModuleFilePathW()).GetString();
    EXPECT_EQ(strPath.substr(0, strPath.rfind('\\')) + "/../\\bin\\Config.xml",
              AnsiFromWide(ResolveConfigPath(CWideText())).GetString());
    EXPECT_EQ(std::getenv("OSTRELIN_LONG_PATH_CHILD") != nullptr, strPath.size() > MAX_PATH);
    // The paths are read wide, as the launcher reads them; the key narrow.
    const std::pair<const std::vector<CTextCase>*, CText (*)(const char*)> tables[] = {
        {&lookups,
         [](const char* psz) { return AnsiFromWide(FindResourceRootValue(Wide(psz).c_str())); }},
        {&keys, [](const char* psz) { return MakeInstanceKey(AtPageEnd(psz)); }},
        {&roots,
         [](const char* psz) { return AnsiFromWide(ResolveConfigPathFrom(Wide(psz), {})); }},
        {&launchers,
         [](const char* psz) { return AnsiFromWide(ResolveConfigPathFrom({}, Wide(psz))); }},
    };
    for (const auto& table : tables)
    {
        for (const CTextCase& c : *table.first)
        {
            if (c.nCodePage == 0 || c.nCodePage == ::GetACP())
            {
                const CText text = table.second(c.pszInput); // every byte, none beyond
                EXPECT_EQ(c.pszExpected, std::string(text.GetString(), text.GetLength()))
                    << c.pszInput;
            }
        }
    }
}

// What the end-to-end traces cannot show: a check point evaluates its
// expression once, codes map to HRESULTs, long texts are formatted whole.
TEST(CoreError, CheckPointsCodesAndTexts)
{
    CDebugOutputCapture capture;
    int cEvaluated = 0;
    const auto nothing = [&]() -> void*
    {
        ++cEvaluated;
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    };
    try
    {
        CHECK_WIN32(nothing());
        ADD_FAILURE() << "no throw";
    }
    catch (const CWin32Error& error)
    {
        EXPECT_EQ(1, cEvaluated);
        EXPECT_EQ(2u, error.GetCode());
        EXPECT_EQ(static_cast<HRESULT>(0x80070002), error.GetHResult());
        EXPECT_STREQ("nothing()", error.GetExpression());
        EXPECT_EQ(1u, capture.Records().size());
    }

    const std::pair<DWORD, DWORD> codes[] = {{0, 0},
                                             {5, 0x80070005},
                                             {0x12345, 0x80072345},
                                             {0x80004005, 0x80004005},
                                             {0x7FFFFFFF, 0x8007FFFF}};
    for (const auto& c : codes)
    {
        ::SetLastError(c.first);
        EXPECT_EQ(static_cast<HRESULT>(c.second), HResultFromLastError()) << c.first;
    }

    CText str("old content is discarded");
    FormatText(str, "<%s|%d>", std::string(5000, 'x').c_str(), -7);
    EXPECT_EQ("<" + std::string(5000, 'x') + "|-7>", str.GetString());
}
