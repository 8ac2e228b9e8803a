// The configuration's XML: an owning COM pointer and thin wrappers over the
// platform DOM's document, element and child list. Absence is no error here:
// a selection that finds nothing, a list position without a node and a
// document without a root give an empty wrapper.
#pragma once

#include "CoreBSTR.h"
#include "CoreError.h"

#include <msxml.h>

// Owns one reference to a COM object, or nothing.
template <class T> class CInterfacePtr
{
public:
    CInterfacePtr() = default;
    CInterfacePtr(const CInterfacePtr& src) : m_pif(src.m_pif)
    {
        if (m_pif != nullptr)
            m_pif->AddRef();
    }
    ~CInterfacePtr() { Release(); }
    CInterfacePtr& operator=(const CInterfacePtr&) = delete;

    T* pif() const { return m_pif; }
    T* operator->() const { return m_pif; }

    // Empties this pointer and lends its slot to a call that delivers a new
    // reference, which this pointer then owns.
    T** AcceptHere()
    {
        Release();
        return &m_pif;
    }

    // E_POINTER without a target; S_FALSE, target untouched, when this pointer
    // is empty; otherwise the object's own answer, delivered into the target
    // after what it held was released.
    template <class U> HRESULT QueryInterface(REFIID iid, CInterfacePtr<U>* pTarget) const
    {
        if (pTarget == nullptr)
            return E_POINTER;
        if (m_pif == nullptr)
            return S_FALSE;
        const CInterfacePtr keep(*this); // the target may be this very pointer
        return keep.m_pif->QueryInterface(iid, reinterpret_cast<void**>(pTarget->AcceptHere()));
    }

    explicit operator bool() const { return m_pif != nullptr; }

private:
    void Release()
    {
        T* pifOld = m_pif;
        m_pif = nullptr;
        if (pifOld != nullptr)
            pifOld->Release();
    }

    T* m_pif = nullptr;
};

class CXMLNodeList;

// Every operation on an empty element raises CCOMError(E_POINTER).
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

    // S_OK with the value passed through the ANSI code page; otherwise the
    // DOM's answer (S_FALSE: absent), E_FAIL for no name, E_OUTOFMEMORY when
    // reading failed. varValue is written only on S_OK.
    HRESULT DoGetAttribute(CComVariant& varValue, const char* pszName) const;
    CComVariant GetAttribute(const char* pszName, const VARIANT& varDefault,
                             bool* pfFound = nullptr) const;
    CText GetAttribute(const char* pszName, const char* pszDefault, bool* pfFound = nullptr) const;
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

// Each construction makes a new, empty document; copies share it.
class CXMLDoc : public CInterfacePtr<IXMLDOMDocument>
{
public:
    CXMLDoc();

    // Reads a local file, plain or scrambled, in one piece. Content that does
    // not parse gives a document without a root, not an error. Traces and the
    // scrambled form's marker use the path as narrow text, converted with the
    // code page's default character where the wide path has letters it lacks.
    static CXMLDoc FromURL(const CText& strPath);
    // *pfScrambled, when given, tells which form the file had.
    static CXMLDoc FromURL(const CWideText& strPath, bool* pfScrambled = nullptr);

    // One record naming the file, the parser's line and column, and its
    // reason, for a document that did not parse.
    void TraceParseError(const CText& strPath) const;

    // Empty when the document has no root.
    CXMLElement GetDocumentElement() const;
};

// The check points below print their expression as written: keep clang-format
// away from them.
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

inline CText CXMLElement::GetAttribute(const char* pszName, const char* pszDefault,
                                       bool* pfFound) const
{
    const CComVariant varDefault(pszDefault);
    CComVariant varValue(GetAttribute(pszName, varDefault, pfFound));
    varValue.ChangeToBSTR();
    return varValue.ToText();
}
