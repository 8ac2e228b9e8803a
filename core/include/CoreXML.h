// The configuration's XML: thin wrappers over the platform DOM's document,
// element and child list, each an owning COM pointer (CoreInterfacePtr.h).
// Absence is no error here: a selection that finds nothing, a list position
// without a node and a document without a root give an empty wrapper.
//
//     const CXMLDoc Doc = CXMLDoc::FromURL(strConfigPath); // a new document
//     const CXMLElement Run = Doc.GetDocumentElement().SelectSingleElement("Run");
//     const CXMLNodeList taskList = Run.GetChildNodes(); // no "Run": E_POINTER
//     for (long iChild = 0; iChild < taskList.GetLength(); ++iChild)
//     {
//         const CXMLElement task = taskList.GetItem(iChild); // a comment: E_NOINTERFACE
//         const CText strClsid = task.GetAttribute("CLSID", ""); // absent: ""
//     }
//
// Failures are raised at check points (CoreError.h).
#pragma once

#include "CoreBSTR.h"
#include "CoreError.h"
#include "CoreInterfacePtr.h"

#include <msxml.h>

class CXMLNodeList;

// Every operation on an empty element but GetNodeName raises
// CCOMError(E_POINTER).
class CXMLElement : public CInterfacePtr<IXMLDOMElement>
{
public:
    CXMLElement() = default;
    explicit CXMLElement(const CInterfacePtr<IXMLDOMElement>& pifElement)
        : CInterfacePtr<IXMLDOMElement>(pifElement)
    {
    }

    // The first match as an element; empty when nothing matches. A match that
    // is not an element raises E_NOINTERFACE.
    CXMLElement SelectSingleElement(const char* pszXPath) const;
    CXMLNodeList GetChildNodes() const;

    // The attribute's value, passed through the ANSI code page (characters it
    // lacks become its default character); pszDefault when the attribute is
    // absent or cannot be read. *pfFound, when given, tells which.
    CText GetAttribute(const char* pszName, const char* pszDefault, bool* pfFound = nullptr) const;

    // The element's tag name; pszNone for an empty element or when the DOM
    // does not answer.
    CText GetNodeName(const char* pszNone) const;
};

// Every operation on an empty list raises CCOMError(E_POINTER).
class CXMLNodeList : public CInterfacePtr<IXMLDOMNodeList>
{
public:
    CXMLNodeList() = default;
    explicit CXMLNodeList(const CInterfacePtr<IXMLDOMNodeList>& pifList)
        : CInterfacePtr<IXMLDOMNodeList>(pifList)
    {
    }

    long GetLength() const;
    // The node at iChild as an element; empty when the list has none there. A
    // node that is not an element raises E_NOINTERFACE: it is never skipped.
    CXMLElement GetItem(long iChild) const;
};

// Each construction makes a new, empty document (the DOM's free-threaded
// class, with its default properties); copies share it.
class CSharedReadFile;

// What CXMLDoc::FromURL hands the DOM: a stream over a copy of the file's
// XML, unscrambled when the file is scrambled for its own name. fileXML is
// opened here and stays open for the caller's load. A file that cannot be
// opened is traced and raised, as FromURL raises it.
CInterfacePtr<IStream> ReadConfigStream(const CWideText& strPath, CSharedReadFile& fileXML,
                                        bool* pfScrambled);

class CXMLDoc : public CInterfacePtr<IXMLDOMDocument>
{
public:
    CXMLDoc();

    // Reads a local file, plain or scrambled, in one piece. Content that does
    // not parse gives a document without a root, not an error. Traces and the
    // scrambled form's marker use the path as narrow text, converted with the
    // code page's default character where the wide path has letters it lacks.
    // *pfScrambled, when given, tells which form the file had.
    static CXMLDoc FromURL(const CWideText& strPath, bool* pfScrambled = nullptr);
    // Plain XML bytes, loaded as FromURL loads a file's.
    static CXMLDoc FromBytes(const char* pch, ULONG cb);

    // One record naming the file, the parser's line and column, and its
    // reason, for a document that did not parse.
    void TraceParseError(const CText& strPath) const;
    // The parser's reason (trimmed; empty when it gave none), line and column
    // (0 when it gave none) for a document that did not parse.
    void GetParseError(CText& strReason, long& nLine, long& nColumn) const;

    // Empty when the document has no root.
    CXMLElement GetDocumentElement() const;
};

inline CText CXMLElement::GetNodeName(const char* pszNone) const
{
    CComBSTR strName;
    if (!*this || FAILED(pif()->get_nodeName(strName.AcceptHere())))
        return CText(pszNone);
    return TextFromWide(strName.Get(), strName.Length(), CP_ACP);
}

// The trace shows the check points of this header and of CoreXML.cpp with
// their expression as written: keep clang-format away from them.
// clang-format off
inline long CXMLNodeList::GetLength() const
{
    if (!*this)
        CHECK_HRESULT(E_POINTER);
    long cChildren = 0;
    CHECK_HRESULT(pif()->get_length( &cChildren ));
    return cChildren;
}

inline CXMLElement CXMLNodeList::GetItem(long iChild) const
{
    if (!*this)
        CHECK_HRESULT(E_POINTER);
    CInterfacePtr<IXMLDOMNode> pifNode;
    CHECK_HRESULT(pif()->get_item( iChild, pifNode.AcceptHere()));
    CInterfacePtr<IXMLDOMElement> pifRes;
    // No node there, whatever the status said: an empty element.
    if (pifNode)
        CHECK_HRESULT(pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes ));
    return CXMLElement(pifRes);
}
// clang-format on
