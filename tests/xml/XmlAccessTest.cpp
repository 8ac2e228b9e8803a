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
    const std::pair<std::function<std::string()>, std::string> cases[] = {
        {[&] { return NameOf(root.SelectSingleElement("Run")); }, "Run"},
        {[&] { return NameOf(root.SelectSingleElement("Nothing")); }, "-"},
        {[&] { return NameOf(root.SelectSingleElement("Run/C")); }, "C"},
        {[&] { return NameOf(root.SelectSingleElement("@Missing")); }, "-"},
        {[&] { return NameOf(root.SelectSingleElement("Run/A/@CLSID")); },
         kNoElement + kSource + kQuery},
        {[&] { return NameOf(root.SelectSingleElement("Text/text()")); },
         kNoElement + kSource + kQuery},
        // The blanks are no nodes, the comment is.
        {[&] { return std::to_string(tasks.GetLength()); }, "4"},
        {[&] { return NameOf(tasks.GetItem(1)) + NameOf(tasks.GetItem(3)); }, "BC"},
        {[&] { return NameOf(tasks.GetItem(4)) + NameOf(tasks.GetItem(-1)); }, "--"},
        {[&] { return NameOf(tasks.GetItem(2)); }, kNoElement + kHeader + kQuery},
        // Values pass through the ANSI code page.
        {[&] { return Attribute(task, "CLSID"); }, "{x}"},
        {[&] { return Attribute(task, "Missing"); }, "default (default)"},
        {[&] { return Attribute(task, "Empty"); }, ""},
        {[&] { return Attribute(task, "Foreign"); }, "a?b"},
        {[&] { return Attribute(task, "Accent"); }, "\xE9"},
        {[&] { return Attribute(task, "Latin"); }, "caf\xE9"},
        {[&] { return Attribute(task, nullptr); }, "default (default)"},
        {[&] { return variant("Missing") + ", " + variant("CLSID"); }, "3 7, 8"},
        // A DOM that fails, or runs out of memory, while reading: the default.
        {[&] { return WithGetAttribute(root, reinterpret_cast<void*>(&FailGetAttribute)); },
         "default (default)"},
        {[&] { return WithGetAttribute(root, reinterpret_cast<void*>(&ThrowFromGetAttribute)); },
         "default (default) | DoGetAttribute() failed: CLSID"},
        // Every operation on an empty wrapper.
        {[&] { return NameOf(none.SelectSingleElement("Run")); },
         "0x80004003 core/CoreXML.cpp E_POINTER"},
        {[&] { return std::to_string(!none.GetChildNodes()); },
         "0x80004003 core/CoreXML.cpp E_POINTER"},
        {[&] { return std::to_string(none.DoGetAttribute(varValue, "CLSID")); },
         "0x80004003 core/CoreXML.cpp E_POINTER"},
        {[&] { return Attribute(none, "CLSID"); }, "0x80004003 core/CoreXML.cpp E_POINTER"},
        {[&] { return std::to_string(noList.GetLength()); },
         "0x80004003 core/include/CoreXML.h E_POINTER"},
        {[&] { return NameOf(noList.GetItem(0)); }, "0x80004003 core/include/CoreXML.h E_POINTER"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, Outcome(c.first)) << c.second;
}
