#include "CoreXML.h"
#include "DomPatch.h"
#include "XmlTestSupport.h"

namespace
{
const char* const kSource = "core/CoreXML.cpp";
const char* const kHeader = "core/include/CoreXML.h";
const char* const kQuery = "pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes )";

// Blanks between the elements, a comment among the tasks, attributes with a
// character code page 1252 lacks (U+4E2D) or has only precomposed (e U+0301).
const char* const kConfig = "<Config CLSID=\"root\">\n  <Run>\n"
                            "    <A CLSID=\"{x}\" Empty=\"\" Foreign=\"a&#x4E2D;b\"\n"
                            "       Accent=\"e&#x301;\" Latin=\"caf&#xE9;\"/>\n"
                            "    <B/>\n    <!-- switched off -->\n    <C/>\n"
                            "  </Run>\n  <Text>some text</Text>\n</Config>\n";

struct CDom
{
    CXMLDoc doc;
    CXMLElement root;
    CXMLNodeList tasks;
};

CDom LoadDom(CScratchFolder& folder)
{
    const CXMLDoc doc = CXMLDoc::FromURL(folder.Write("Config.xml", kConfig).c_str());
    const CXMLElement root = doc.GetDocumentElement();
    return CDom{doc, root, root.SelectSingleElement("Run").GetChildNodes()};
}

std::string NameOf(const CXMLElement& element)
{
    CComBSTR strName;
    if (!element || FAILED(element.pif()->get_nodeName(strName.AcceptHere())))
        return "-";
    return std::string(TextFromWide(strName, strName.Length()));
}

HRESULT STDMETHODCALLTYPE FailOne(void*, void*)
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE FailTwo(void*, void*, void*)
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE ThrowTwo(void*, void*, void*)
{
    AtlThrow(E_OUTOFMEMORY);
}

TEST_F(XmlTest, Selection)
{
    CScratchFolder folder;
    const CDom dom = LoadDom(folder);
    const std::pair<const char*, const char*> cases[] = {
        {"Run", "Run"}, {"Nothing", "-"}, {"Run/C", "C"}, {"@Missing", "-"}};
    for (const auto& test : cases)
    {
        CDebugOutputCapture capture;
        EXPECT_EQ(test.second, NameOf(dom.root.SelectSingleElement(test.first)));
        EXPECT_TRUE(capture.Records().empty());
    }
    for (const char* pszXPath : {"Run/A/@CLSID", "Text/text()"}) // matches that are no element
        ExpectThrown([&] { dom.root.SelectSingleElement(pszXPath); }, E_NOINTERFACE, kQuery,
                     kSource);
}

TEST_F(XmlTest, ChildList)
{
    CScratchFolder folder;
    const CDom dom = LoadDom(folder);
    {
        CDebugOutputCapture capture;
        EXPECT_EQ(4, dom.tasks.GetLength()); // the blanks are no nodes, the comment is
        std::string strNames;
        for (long iChild : {0, 1, 3, 4, -1})
            strNames += NameOf(dom.tasks.GetItem(iChild));
        EXPECT_EQ("ABC--", strNames);
        EXPECT_TRUE(capture.Records().empty());
    }
    ExpectThrown([&] { dom.tasks.GetItem(2); }, E_NOINTERFACE, kQuery, kHeader);
}

TEST_F(XmlTest, Attributes)
{
    ASSERT_EQ(1252u, ::GetACP()) << "expectations are in code page 1252";
    CScratchFolder folder;
    const CXMLElement task = LoadDom(folder).tasks.GetItem(0);
    const struct
    {
        const char* pszName;
        const char* pszExpected;
        bool fFound;
    } cases[] = {
        {"CLSID", "{x}", true},      {"Missing", "default", false}, {"Empty", "", true},
        {"Foreign", "a?b", true},    {"Accent", "\xE9", true},      {"Latin", "caf\xE9", true},
        {nullptr, "default", false},
    };
    for (const auto& test : cases)
    {
        CDebugOutputCapture capture;
        bool fFound = !test.fFound;
        EXPECT_STREQ(test.pszExpected, task.GetAttribute(test.pszName, "default", &fFound));
        EXPECT_EQ(test.fFound, fFound);
        EXPECT_TRUE(capture.Records().empty());
    }
    CComVariant varDefault;
    V_VT(&varDefault) = VT_I4;
    V_I4(&varDefault) = 7;
    const CComVariant varMissing = task.GetAttribute("Missing", varDefault);
    EXPECT_TRUE(V_VT(&varMissing) == VT_I4 && V_I4(&varMissing) == 7);
    const CComVariant varPresent = task.GetAttribute("CLSID", varDefault);
    EXPECT_EQ(VT_BSTR, V_VT(&varPresent));
}

TEST_F(XmlTest, DomFailures)
{
    CScratchFolder folder;
    const CDom dom = LoadDom(folder);
    const DomSlots& slots = g_domSlots;
    void* const pfnOne = reinterpret_cast<void*>(&FailOne);
    void* const pfnTwo = reinterpret_cast<void*>(&FailTwo);
    const struct
    {
        void* pObject;
        unsigned cSlots, iSlot;
        void* pfnStandIn;
        std::function<void()> action;
        const char* pszExpression;
        const char* pszFile;
    } cases[] = {
        {dom.doc.pif(), slots.cDocument, slots.iGetDocumentElement, pfnOne,
         [&] { dom.doc.GetDocumentElement(); }, "pif()->get_documentElement( pifRoot.AcceptHere())",
         kSource},
        {dom.root.pif(), slots.cElement, slots.iSelectSingleNode, pfnTwo,
         [&] { dom.root.SelectSingleElement("Run"); },
         "pif()->selectSingleNode( CComBSTR( pszXPath ), pifNode.AcceptHere())", kSource},
        {dom.root.pif(), slots.cElement, slots.iGetChildNodes, pfnOne,
         [&] { dom.root.GetChildNodes(); }, "pif()->get_childNodes( pifChildren.AcceptHere())",
         kSource},
        {dom.tasks.pif(), slots.cNodeList, slots.iGetLength, pfnOne, [&] { dom.tasks.GetLength(); },
         "pif()->get_length( &cChildren )", kHeader},
        {dom.tasks.pif(), slots.cNodeList, slots.iGetItem, pfnTwo, [&] { dom.tasks.GetItem(0); },
         "pif()->get_item( iChild, pifNode.AcceptHere())", kHeader},
    };
    for (const auto& test : cases)
    {
        const CMethodPatch patch(test.pObject, test.cSlots, test.iSlot, test.pfnStandIn);
        ExpectThrown(test.action, E_UNEXPECTED, test.pszExpression, test.pszFile);
    }
}

TEST_F(XmlTest, AttributeFailuresGiveTheDefault)
{
    CScratchFolder folder;
    const CDom dom = LoadDom(folder);
    for (bool fThrows : {false, true})
    {
        const CMethodPatch patch(dom.root.pif(), g_domSlots.cElement, g_domSlots.iGetAttribute,
                                 reinterpret_cast<void*>(fThrows ? &ThrowTwo : &FailTwo));
        CDebugOutputCapture capture;
        CComVariant varValue;
        EXPECT_EQ(fThrows ? E_OUTOFMEMORY : E_UNEXPECTED,
                  dom.root.DoGetAttribute(varValue, "CLSID"));
        EXPECT_EQ(VT_EMPTY, V_VT(&varValue));
        bool fFound = true;
        EXPECT_STREQ("default", dom.root.GetAttribute("CLSID", "default", &fFound));
        EXPECT_FALSE(fFound);
        EXPECT_EQ(std::vector<std::string>(fThrows ? 2 : 0, "DoGetAttribute() failed: CLSID"),
                  capture.Records());
    }
}

TEST_F(XmlTest, EmptyWrappersRaise)
{
    const CXMLElement element;
    const CXMLNodeList list;
    CComVariant varValue;
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { element.SelectSingleElement("Run"); }, kSource},
        {[&] { element.GetChildNodes(); }, kSource},
        {[&] { element.DoGetAttribute(varValue, "CLSID"); }, kSource},
        {[&] { element.GetAttribute("CLSID", ""); }, kSource},
        {[&] { list.GetLength(); }, kHeader},
        {[&] { list.GetItem(0); }, kHeader},
    };
    for (const auto& test : cases)
        ExpectThrown(test.first, E_POINTER, "E_POINTER", test.second);
}
} // namespace
