#include "ConfigScramble.h"
#include "CoreXML.h"
#include "XmlTestSupport.h"

#include <thread>

namespace
{
const char* const kSource = "core/CoreXML.cpp";

std::string Utf16LeWithBom(const wchar_t* pwsz)
{
    std::string strBytes("\xFF\xFE");
    for (; *pwsz != L'\0'; ++pwsz)
        strBytes += {static_cast<char>(*pwsz & 0xFF), static_cast<char>(*pwsz >> 8)};
    return strBytes;
}

// The root's name and its attribute V, or "-" for no root.
std::string Describe(const CXMLDoc& doc)
{
    const CXMLElement root = doc.GetDocumentElement();
    CComBSTR strName;
    if (!root || FAILED(root.pif()->get_nodeName(strName.AcceptHere())))
        return "-";
    return std::string(TextFromWide(strName, strName.Length())) + " " +
           std::string(root.GetAttribute("V", ""));
}

const std::string kXml = "<Config V=\"caf\xC3\xA9\"><Run/></Config>";
const char* const kLoaded = "Config caf\xE9"; // V in code page 1252

struct LoadCase
{
    const char* pszLabel;
    const char* pszFileName;
    std::string strBytes;
    const char* pszExpected;
};

void PrintTo(const LoadCase& test, std::ostream* pStream)
{
    *pStream << test.pszLabel;
}

const LoadCase kLoadCases[] = {
    {"UTF8", "Config.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + kXml, kLoaded},
    {"UTF8WithBom", "Config.xml", "\xEF\xBB\xBF" + kXml, kLoaded},
    {"UTF16LEWithBom", "Config.xml",
     Utf16LeWithBom(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Config V=\"caf\u00E9\"/>"),
     kLoaded},
    {"Windows1252", "Config.xml",
     "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Config V=\"caf\xE9\"/>", kLoaded},
    {"ISO88591", "Config.xml",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Config V=\"caf\xE9\"/>", kLoaded},
    {"Scrambled", "Config.xml", ScrambleConfig(kXml, "Config.xml"), kLoaded},
    {"ScrambledCapitals", "Config.xml", ScrambleConfig(kXml, "CONFIG.XML"), kLoaded},
    {"ScrambledSmallLetters", "config.xml", ScrambleConfig(kXml, "cOnFiG.xMl"), kLoaded},
    {"ScrambledUTF16", "Config.xml",
     ScrambleConfig(Utf16LeWithBom(L"<Config V=\"caf\u00E9\"/>"), "Config.xml"), kLoaded},
    {"ScrambledRenamed", "Other.xml", ScrambleConfig(kXml, "Config.xml"), "-"},
    {"ScrambledNameOnly", "Config.xml", ScrambleConfig("", "Config.xml"), "-"},
    {"ShorterThanTheName", "Config.xml", "<a V=\"\"/>", "a "},
    {"Malformed", "Config.xml", "<Config><Run></Config>", "-"},
};

class XmlLoad : public XmlTest, public testing::WithParamInterface<LoadCase>
{
};

TEST_P(XmlLoad, GivesTheDocument)
{
    ASSERT_EQ(1252u, ::GetACP()) << "expectations are in code page 1252";
    CScratchFolder folder;
    const std::string strPath = folder.Write(GetParam().pszFileName, GetParam().strBytes);
    CDebugOutputCapture capture;
    EXPECT_EQ(GetParam().pszExpected, Describe(CXMLDoc::FromURL(strPath.c_str())));
    EXPECT_TRUE(capture.Records().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, XmlLoad, testing::ValuesIn(kLoadCases),
                         [](const testing::TestParamInfo<LoadCase>& info)
                         { return std::string(info.param.pszLabel); });

TEST_F(XmlTest, FromURLFailures)
{
    const HRESULT hrTooLarge = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    const char* const pszTooLarge = "HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)";
    const struct
    {
        ULONGLONG cbSize; // ~0: no file
        HRESULT hr;
        const char* pszExpression;
    } cases[] = {
        {~0ull, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "hRes"},
        {0, E_FAIL, "E_FAIL"},
        {0xC0000000ull, E_FAIL, "E_FAIL"},         // no buffer that large
        {0xFFFFFFFFull, E_FAIL, "E_FAIL"},         // size + 1 would wrap
        {0x100000000ull, hrTooLarge, pszTooLarge}, // would read as 0 bytes
        {0x10000000Aull, hrTooLarge, pszTooLarge}, // would read as 10 bytes
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.cbSize);
        CScratchFolder folder;
        const bool fMissing = test.cbSize == ~0ull;
        const std::string strPath =
            fMissing ? folder.Path("Config.xml") : folder.Write("Config.xml", "", test.cbSize);
        const std::vector<std::string> records = ExpectThrown(
            [&] { CXMLDoc::FromURL(strPath.c_str()); }, test.hr, test.pszExpression, kSource);
        // Only a failed open writes the problem line, before the throw.
        ASSERT_EQ(fMissing ? 2u : 1u, records.size());
        EXPECT_EQ(fMissing, records[0] == "---->\tCXMLDoc::FromURL() problem " + strPath + "\n");
    }
}

TEST_F(XmlTest, OtherWriters)
{
    CScratchFolder folder;
    const std::string strPath = folder.Write("Config.xml", kXml);
    // Another process holds the file open for writing, sharing reads and writes.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE hWriter =
        ::CreateFileA(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    CChildProcess holder("ostrelin-config.exe", "show -");
    ::CloseHandle(hWriter);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              ::CreateFileA(strPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(kLoaded, Describe(CXMLDoc::FromURL(strPath.c_str())));
    holder.Finish();

    // A writer that shares no reading keeps the launcher out.
    hWriter = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ExpectThrown([&] { CXMLDoc::FromURL(strPath.c_str()); },
                 HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), "hRes", kSource);
    ::CloseHandle(hWriter);
}

TEST_F(XmlTest, FromURLShortRead)
{
    // Through Wine's drive Z:, a sysfs file promises 4096 bytes and holds a few.
    const char* const pszPath = "Z:\\sys\\devices\\system\\cpu\\online";
    if (::GetFileAttributesA(pszPath) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no sysfs on Z:";
    ExpectThrown([&] { CXMLDoc::FromURL(pszPath); }, HRESULT_FROM_WIN32(ERROR_HANDLE_EOF),
                 "fileXML.Read(szBuf, nSize)", kSource);
}

TEST_F(XmlTest, DocumentNeedsCom)
{
    std::thread(
        [] { // a thread outside any COM apartment
            ExpectThrown([] { CXMLDoc(); }, CO_E_NOTINITIALIZED,
                         "::CoCreateInstance( CLSID_DOMFreeThreadedDocument, NULL, "
                         "CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, (void**)AcceptHere())",
                         kSource);
        })
        .join();
}
} // namespace
