// The configuration layer against the platform DOM: CXMLDoc::FromURL on files
// as installations have them and on files it must refuse; selections, child
// lists and attributes of a loaded configuration, where absence gives an empty
// wrapper or the default and a node that is no element raises.
#include "ConfigScramble.h"
#include "CoreFile.h"
#include "WideText.h"
#include "XmlTestSupport.h"

#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

extern "C" const unsigned g_cElementSlots, g_iGetAttributeSlot;

namespace
{
// The value the action gives, or the status, file and expression of the error
// it raised; then each record it traced before that error's Thrown record.
std::string Outcome(const std::function<std::string()>& action)
{
    CDebugOutputCapture capture;
    std::string result;
    size_t cThrown = 0;
    try
    {
        result = action();
    }
    catch (const CCOMError& error)
    {
        char szStatus[16];
        std::snprintf(szStatus, sizeof szStatus, "0x%08X ",
                      static_cast<unsigned>(error.GetHResult()));
        result = szStatus + std::string(error.GetPlace().file) + " " + error.GetExpression();
        cThrown = 1;
        EXPECT_TRUE(!capture.Records().empty() &&
                    capture.Records().back().find("): Thrown: HRESULT: ") != std::string::npos)
            << result;
    }
    for (size_t i = 0; i + cThrown < capture.Records().size(); ++i)
        result += " | " + capture.Records()[i];
    return result;
}

// The element's name, or "-" for an empty one.
std::string NameOf(const CXMLElement& element)
{
    return element.GetNodeName("-").GetString();
}

std::string Utf16LeWithBom(const wchar_t* pwsz)
{
    std::string strBytes("\xFF\xFE");
    for (; *pwsz != L'\0'; ++pwsz)
        strBytes += {static_cast<char>(*pwsz & 0xFF), static_cast<char>(*pwsz >> 8)};
    return strBytes;
}

const std::string strCafeXml = "<Config V=\"caf\xC3\xA9\"><Run/></Config>";
const std::string strUtf16 = Utf16LeWithBom(L"<Config V=\"caf\u00E9\"/>");
const std::string strUtf16Declared =
    Utf16LeWithBom(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Config V=\"caf\u00E9\"/>");
const std::string strWindows1252 =
    "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Config V=\"caf\xE9\"/>";
const char* const pszLoaded = "Config caf\xE9"; // V in code page 1252
const char* const pszTooLarge =
    "0x800700DF core/CoreXML.cpp HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)";

const char* const pszNoElement =
    "0x80004002 core/CoreXML.cpp pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes )";

// Blanks between the elements, a comment among the tasks, attributes with a
// character code page 1252 lacks (U+4E2D) or has only precomposed (e U+0301).
const char* const pszConfig = "<Config CLSID=\"root\">\n  <Run>\n"
                              "    <A CLSID=\"{x}\" Empty=\"\" Foreign=\"a&#x4E2D;b\"\n"
                              "       Accent=\"e&#x301;\" Latin=\"caf&#xE9;\"/>\n"
                              "    <B/>\n    <!-- switched off -->\n    <C/>\n"
                              "  </Run>\n  <Text>some text</Text>\n</Config>\n";

// The attribute's value, marked when it is the default.
std::string Attribute(const CXMLElement& element, const char* pszName)
{
    bool fFound = false;
    const CText strValue = element.GetAttribute(pszName, "default", &fFound);
    return strValue.GetString() + std::string(fFound ? "" : " (default)");
}

HRESULT STDMETHODCALLTYPE ThrowFromGetAttribute(void*, void*, void*)
{
    AtlThrow(E_OUTOFMEMORY);
}

// The element's "CLSID" with getAttribute answered by ThrowFromGetAttribute
// through a copy of the element's method table.
std::string WithGetAttribute(const CXMLElement& element)
{
    void*** const ppTable = reinterpret_cast<void***>(element.pif());
    void** const pOriginal = *ppTable;
    std::vector<void*> table(pOriginal, pOriginal + g_cElementSlots);
    table[g_iGetAttributeSlot] = reinterpret_cast<void*>(&ThrowFromGetAttribute);
    *ppTable = table.data();
    const std::string value = Attribute(element, "CLSID");
    *ppTable = pOriginal;
    return value;
}
} // namespace

TEST(Xml, Load)
{
    const CComApartment apartment;
    ASSERT_EQ(S_OK, apartment.Status());
    ASSERT_EQ(1252u, ::GetACP()) << "expectations are in code page 1252";
    const CScratchFolder folder("ostrelin-");
    // The root's name and its attribute V, "-" for no root, or the error raised.
    const auto load = [](const std::string& path)
    {
        return Outcome(
            [&]
            {
                const CXMLElement root = CXMLDoc::FromURL(WidePath(path)).GetDocumentElement();
                return root ? NameOf(root) + " " + root.GetAttribute("V", "").GetString() : "-";
            });
    };
    const struct
    {
        const char* pszFileName;
        std::string strBytes, strExpected;
        ULONGLONG cbSize = 0; // more than the bytes: zero bytes up to it
    } cases[] = {
        // Every encoding that a byte-order mark or the declaration names, plain
        // and scrambled, loads the same document.
        {"Config.xml", strCafeXml, pszLoaded},
        {"Config.xml", "\xEF\xBB\xBF" + strCafeXml, pszLoaded},
        {"Config.xml", strUtf16Declared, pszLoaded},
        {"Config.xml", strUtf16, pszLoaded},
        {"Config.xml", strWindows1252, pszLoaded},
        {"Config.xml", ScrambleConfig("\xEF\xBB\xBF" + strCafeXml, "Config.xml"), pszLoaded},
        {"Config.xml", ScrambleConfig(strUtf16Declared, "Config.xml"), pszLoaded},
        {"Config.xml", ScrambleConfig(strUtf16, "Config.xml"), pszLoaded},
        {"Config.xml", ScrambleConfig(strWindows1252, "Config.xml"), pszLoaded},
        // Scrambled: only the file's own name, any case of its ASCII letters, marks it.
        {"Config.xml", ScrambleConfig(strCafeXml, "CONFIG.XML"), pszLoaded},
        {"config.xml", ScrambleConfig(strCafeXml, "cOnFiG.xMl"), pszLoaded},
        {"Other.xml", ScrambleConfig(strCafeXml, "Config.xml"), "-"},
        {"\xE9.xml", ScrambleConfig(strCafeXml, "\xE9.xml"), pszLoaded},
        {"\xE9.xml", ScrambleConfig(strCafeXml, "\xC9.xml"), "-"},
        {"Config.xml", ScrambleConfig("", "Config.xml"), "-"},
        {"Config.xml", "<a V=\"\"/>", "a "}, // shorter than the name
        // No buffer: 3 GiB in a 32-bit address space. A 64-bit one has room for
        // any size below 4 GiB, so there only the wrap below has none.
        {"Config.xml", "", "0x80004005 core/CoreXML.cpp E_FAIL",
         sizeof(void*) == 4 ? 0xC0000000ull : 0xFFFFFFFFull},
        {"Config.xml", "", "0x80004005 core/CoreXML.cpp E_FAIL", 0xFFFFFFFFull}, // size + 1 wraps
        // 4 GiB and more would read as the size modulo 4 GiB.
        {"Config.xml", "", pszTooLarge, 0x100000000ull},
        {"Config.xml", "<a/>", pszTooLarge, 0x100000004ull},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.strExpected, load(folder.Write(c.pszFileName, c.strBytes, c.cbSize)))
            << "row " << (&c - cases) << ", " << c.pszFileName;
    // The DOM is handed the XML's bytes and not one more, plain or scrambled.
    for (const std::string& bytes : {strCafeXml, ScrambleConfig(strCafeXml, "Config.xml")})
    {
        CSharedReadFile file;
        STATSTG stat = {};
        ReadConfigStream(WidePath(folder.Write("Config.xml", bytes)), file, nullptr)
            ->Stat(&stat, STATFLAG_NONAME);
        EXPECT_EQ(strCafeXml.size(), stat.cbSize.QuadPart);
    }

    // Another program writes the file and lets others read it; or not.
    const std::string path = folder.Write("Config.xml", strCafeXml);
    for (DWORD nShare : {DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE), DWORD(0)})
    {
        const CUniqueFileHandle hWriter(
            ::CreateFileA(path.c_str(), GENERIC_WRITE, nShare, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(nShare ? pszLoaded
                         : "0x80070020 core/CoreXML.cpp hRes | ---->\tCXMLDoc::FromURL() problem " +
                               path + "\n",
                  load(path));
    }
    std::string outcome;
    std::thread([&] { outcome = load(path); }).join(); // outside any COM apartment
    EXPECT_EQ(
        "0x800401F0 core/CoreXML.cpp ::CoCreateInstance( CLSID_DOMFreeThreadedDocument, NULL, "
        "CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, (void**)AcceptHere())",
        outcome);
    // Through Wine's drive Z:, a sysfs file promises 4096 bytes and holds a few.
    const char szShortRead[] = "Z:\\sys\\devices\\system\\cpu\\online";
    if (::GetFileAttributesA(szShortRead) != INVALID_FILE_ATTRIBUTES)
    {
        EXPECT_EQ("0x80070026 core/CoreXML.cpp fileXML.Read(szBuf, nSize)", load(szShortRead));
    }
}

TEST(Xml, Access)
{
    const CComApartment apartment;
    ASSERT_EQ(S_OK, apartment.Status());
    ASSERT_EQ(1252u, ::GetACP()) << "expectations are in code page 1252";
    const CScratchFolder folder("ostrelin-");
    const CXMLDoc doc = CXMLDoc::FromURL(WidePath(folder.Write("Config.xml", pszConfig)));
    const CXMLElement root = doc.GetDocumentElement();
    const CXMLNodeList tasks = root.SelectSingleElement("Run").GetChildNodes();
    const auto select = [&](const char* pszXPath)
    { return NameOf(root.SelectSingleElement(pszXPath)); };
    {
        CDebugOutputCapture capture; // absence traces nothing
        EXPECT_EQ("Run-C-",
                  select("Run") + select("Nothing") + select("Run/C") + select("@Missing"));
        // The blanks are no nodes, the comment is.
        EXPECT_EQ("4BC--", std::to_string(tasks.GetLength()) + NameOf(tasks.GetItem(1)) +
                               NameOf(tasks.GetItem(3)) + NameOf(tasks.GetItem(4)) +
                               NameOf(tasks.GetItem(-1)));
        // Values pass through the ANSI code page.
        const std::pair<const char*, const char*> attributes[] = {
            {"CLSID", "{x}"},    {"Missing", "default (default)"},
            {"Empty", ""},       {nullptr, "default (default)"},
            {"Foreign", "a?b"},  {"Accent", "\xE9"},
            {"Latin", "caf\xE9"}};
        for (const auto& a : attributes)
            EXPECT_EQ(a.second, Attribute(tasks.GetItem(0), a.first)) << a.second;
        EXPECT_EQ(std::vector<std::string>(), capture.Records());
    }
    // A match that is no element raises; a DOM that runs out of memory while
    // reading an attribute gives the default.
    EXPECT_EQ(pszNoElement, Outcome([&] { return select("Run/A/@CLSID"); }));
    EXPECT_EQ(pszNoElement, Outcome([&] { return select("Text/text()"); }));
    EXPECT_EQ("default (default) | DoGetAttribute() failed: CLSID",
              Outcome([&] { return WithGetAttribute(root); }));
}
