// Selections, child lists and attributes of a loaded configuration: absence
// gives an empty wrapper or the default, a node that is no element raises.
#include "XmlTestSupport.h"

#include <vector>

extern "C" const unsigned g_cElementSlots, g_iGetAttributeSlot;

namespace
{
const char* const kSource = "core/CoreXML.cpp ";
const char* const kHeader = "core/include/CoreXML.h ";
const std::string kNoElement = "0x80004002 ";
const char* const kQuery = "pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes )";

// Blanks between the elements, a comment among the tasks, attributes with a
// character code page 1252 lacks (U+4E2D) or has only precomposed (e U+0301).
const char* const kConfig = "<Config CLSID=\"root\">\n  <Run>\n"
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

HRESULT STDMETHODCALLTYPE FailGetAttribute(void*, void*, void*)
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE ThrowFromGetAttribute(void*, void*, void*)
{
    AtlThrow(E_OUTOFMEMORY);
}

// The element answers getAttribute through a copy of its method table.
std::string WithGetAttribute(const CXMLElement& element, void* pfnStandIn)
{
    void*** const ppTable = reinterpret_cast<void***>(element.pif());
    void** const pOriginal = *ppTable;
    std::vector<void*> table(pOriginal, pOriginal + g_cElementSlots);
    table[g_iGetAttributeSlot] = pfnStandIn;
    *ppTable = table.data();
    const std::string value = Attribute(element, "CLSID");
    *ppTable = pOriginal;
    return value;
}
} // namespace

TEST_F(ComTest, XmlAccess)
{
    ASSERT_EQ(1252u, ::GetACP()) << "expectations are in code page 1252";
    const CScratchFolder folder;
    const CXMLDoc doc = CXMLDoc::FromURL(folder.Write("Config.xml", kConfig).c_str());
    const CXMLElement root = doc.GetDocumentElement();
    const CXMLNodeList tasks = root.SelectSingleElement("Run").GetChildNodes();
    const CXMLElement task = tasks.GetItem(0), none;
    const CXMLNodeList noList;
    CComVariant varValue, varSeven;
    V_VT(&varSeven) = VT_I4;
    V_I4(&varSeven) = 7;
    const auto variant = [&](const char* pszName)
    {
        const CComVariant var = task.GetAttribute(pszName, varSeven);
        return std::to_string(V_VT(&var)) +
               (V_VT(&var) == VT_I4 ? " " + std::to_string(V_I4(&var)) : "");
    };
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
            EXPECT_EQ(a.second, Attribute(task, a.first)) << a.second;
        EXPECT_EQ("3 7, 8", variant("Missing") + ", " + variant("CLSID"));
        EXPECT_EQ(std::vector<std::string>(), capture.Records());
    }
    const std::string kEmpty = "0x80004003 core/CoreXML.cpp E_POINTER";
    const std::pair<std::function<std::string()>, std::string> cases[] = {
        {[&] { return select("Run/A/@CLSID"); }, kNoElement + kSource + kQuery},
        {[&] { return select("Text/text()"); }, kNoElement + kSource + kQuery},
        {[&] { return NameOf(tasks.GetItem(2)); }, kNoElement + kHeader + kQuery},
        // A DOM that fails, or runs out of memory, while reading: the default.
        {[&] { return WithGetAttribute(root, reinterpret_cast<void*>(&FailGetAttribute)); },
         "default (default)"},
        {[&] { return WithGetAttribute(root, reinterpret_cast<void*>(&ThrowFromGetAttribute)); },
         "default (default) | DoGetAttribute() failed: CLSID"},
        // Every operation on an empty wrapper.
        {[&] { return NameOf(none.SelectSingleElement("Run")); }, kEmpty},
        {[&] { return std::to_string(!none.GetChildNodes()); }, kEmpty},
        {[&] { return std::to_string(none.DoGetAttribute(varValue, "CLSID")); }, kEmpty},
        {[&] { return Attribute(none, "CLSID"); }, kEmpty},
        {[&] { return std::to_string(noList.GetLength()); },
         "0x80004003 core/include/CoreXML.h E_POINTER"},
        {[&] { return NameOf(noList.GetItem(0)); }, "0x80004003 core/include/CoreXML.h E_POINTER"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, Outcome(c.first)) << c.second;
}
