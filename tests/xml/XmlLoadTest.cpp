// CXMLDoc::FromURL on files as installations have them, and on files it
// must refuse.
#include "ConfigScramble.h"
#include "XmlTestSupport.h"

#include <thread>

namespace
{
std::string Utf16LeWithBom(const wchar_t* pwsz)
{
    std::string strBytes("\xFF\xFE");
    for (; *pwsz != L'\0'; ++pwsz)
        strBytes += {static_cast<char>(*pwsz & 0xFF), static_cast<char>(*pwsz >> 8)};
    return strBytes;
}

const std::string kXml = "<Config V=\"caf\xC3\xA9\"><Run/></Config>";
const char* const kLoaded = "Config caf\xE9"; // V in code page 1252
const char* const kOpen = "0x80070002 core/CoreXML.cpp hRes | ---->\tCXMLDoc::FromURL() problem ";
const char* const kTooLarge = "core/CoreXML.cpp HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)";
const DWORD nNoWriter = ~0u;
} // namespace

TEST_F(ComTest, XmlLoad)
{
    ASSERT_EQ(1252u, ::GetACP()) << "expectations are in code page 1252";
    const struct
    {
        const char* pszFileName; // a full path: a file of the system's, read as it is
        std::string strBytes;
        std::string strExpected;        // {path}: the file's path
        ULONGLONG cbSize = 0;           // more than the bytes: zero bytes up to it
        DWORD nWriterShare = nNoWriter; // a writer holds the file open, sharing this
        bool fWithoutCom = false;
    } cases[] = {
        {"Config.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + kXml, kLoaded},
        {"Config.xml", "\xEF\xBB\xBF" + kXml, kLoaded},
        {"Config.xml",
         Utf16LeWithBom(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Config V=\"caf\u00E9\"/>"),
         kLoaded},
        {"Config.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Config V=\"caf\xE9\"/>",
         kLoaded},
        {"Config.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Config V=\"caf\xE9\"/>",
         kLoaded},
        // Scrambled: only the file's own name, any case of its ASCII letters, marks it.
        {"Config.xml", ScrambleConfig(kXml, "Config.xml"), kLoaded},
        {"Config.xml", ScrambleConfig(kXml, "CONFIG.XML"), kLoaded},
        {"config.xml", ScrambleConfig(kXml, "cOnFiG.xMl"), kLoaded},
        {"Config.xml", ScrambleConfig(Utf16LeWithBom(L"<Config V=\"caf\u00E9\"/>"), "Config.xml"),
         kLoaded},
        {"Other.xml", ScrambleConfig(kXml, "Config.xml"), "-"},
        {"\xE9.xml", ScrambleConfig(kXml, "\xE9.xml"), kLoaded},
        {"\xE9.xml", ScrambleConfig(kXml, "\xC9.xml"), "-"},
        {"Config.xml", ScrambleConfig("", "Config.xml"), "-"},
        {"Config.xml", "<a V=\"\"/>", "a "}, // shorter than the name
        {"Config.xml", "<Config><Run></Config>", "-"},
        // Another program writes the file and lets others read it; or not.
        {"Config.xml", kXml, kLoaded, 0, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"Config.xml", kXml, "0x80070020" + std::string(kOpen + 10) + "{path}\n", 0, 0},
        {"Config.xml", kXml,
         "0x800401F0 core/CoreXML.cpp ::CoCreateInstance( "
         "CLSID_DOMFreeThreadedDocument, NULL, CLSCTX_INPROC_SERVER, "
         "IID_IXMLDOMDocument, (void**)AcceptHere())",
         0, nNoWriter, true},
        {"", "", kOpen + std::string("{path}\n")},
        {"Config.xml", "", "0x80004005 core/CoreXML.cpp E_FAIL"},
        {"Config.xml", "", "0x80004005 core/CoreXML.cpp E_FAIL", 0xC0000000ull}, // no buffer
        {"Config.xml", "", "0x80004005 core/CoreXML.cpp E_FAIL", 0xFFFFFFFFull}, // size + 1 wraps
        // 4 GiB and more would read as the size modulo 4 GiB.
        {"Config.xml", "", "0x800700DF " + std::string(kTooLarge), 0x100000000ull},
        {"Config.xml", "<a/>", "0x800700DF " + std::string(kTooLarge), 0x100000004ull},
        // Through Wine's drive Z:, a sysfs file promises 4096 bytes and holds a few.
        {"Z:\\sys\\devices\\system\\cpu\\online", "",
         "0x80070026 core/CoreXML.cpp fileXML.Read(szBuf, nSize)"},
    };
    for (const auto& c : cases)
    {
        const CScratchFolder folder;
        std::string path = c.pszFileName;
        if (path.find(':') == std::string::npos)
            path = c.pszFileName[0] ? folder.Write(c.pszFileName, c.strBytes, c.cbSize)
                                    : folder.Path("Config.xml");
        else if (::GetFileAttributesA(c.pszFileName) == INVALID_FILE_ATTRIBUTES)
            continue; // no sysfs on Z:
        const HANDLE hWriter =
            c.nWriterShare == nNoWriter
                ? INVALID_HANDLE_VALUE
                : ::CreateFileA(path.c_str(), GENERIC_WRITE, c.nWriterShare, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        const auto describe = [&]
        {
            const CXMLElement root = CXMLDoc::FromURL(path.c_str()).GetDocumentElement();
            return root ? NameOf(root) + " " + root.GetAttribute("V", "").GetString() : "-";
        };
        std::string outcome;
        if (c.fWithoutCom)
            std::thread([&] { outcome = Outcome(describe); }).join(); // outside any apartment
        else
            outcome = Outcome(describe);
        std::string expected = c.strExpected;
        if (expected.find("{path}") != std::string::npos)
            expected.replace(expected.find("{path}"), 6, path);
        EXPECT_EQ(expected, outcome) << path;
        if (hWriter != INVALID_HANDLE_VALUE)
            ::CloseHandle(hWriter);
    }
}
