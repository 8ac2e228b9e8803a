#include "CoreXML.h"

#include "ConfigScramble.h"
#include "CoreFile.h"
#include "CoreTrace.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

// The check points below print their expression as written: keep clang-format
// away from them.
// clang-format off
CXMLDoc::CXMLDoc()
{
    CHECK_HRESULT(::CoCreateInstance( CLSID_DOMFreeThreadedDocument, NULL, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, (void**)AcceptHere()));
}

CXMLElement CXMLDoc::GetDocumentElement() const
{
    CInterfacePtr<IXMLDOMElement> pifRoot;
    CHECK_HRESULT(pif()->get_documentElement( pifRoot.AcceptHere()));
    return CXMLElement(pifRoot);
}

CXMLElement CXMLElement::SelectSingleElement(const char* pszXPath) const
{
    if (!*this)
        CHECK_HRESULT(E_POINTER);
    CInterfacePtr<IXMLDOMNode> pifNode;
    CHECK_HRESULT(pif()->selectSingleNode( CComBSTR( pszXPath ), pifNode.AcceptHere()));
    // Nothing matched: pifNode is empty and the query answers S_FALSE.
    CInterfacePtr<IXMLDOMElement> pifRes;
    CHECK_HRESULT(pifNode.QueryInterface( IID_IXMLDOMElement, &pifRes ));
    return CXMLElement(pifRes);
}

CXMLNodeList CXMLElement::GetChildNodes() const
{
    if (!*this)
        CHECK_HRESULT(E_POINTER);
    CInterfacePtr<IXMLDOMNodeList> pifChildren;
    CHECK_HRESULT(pif()->get_childNodes( pifChildren.AcceptHere()));
    return CXMLNodeList(pifChildren);
}
// clang-format on

void CXMLDoc::GetParseError(CText& strReason, long& nLine, long& nColumn) const
{
    nLine = nColumn = 0;
    strReason = CText();
    CInterfacePtr<IXMLDOMParseError> pifError;
    if (*this && SUCCEEDED(pif()->get_parseError(pifError.AcceptHere())) && pifError)
    {
        pifError->get_line(&nLine);
        pifError->get_linepos(&nColumn);
        CComBSTR strWide;
        if (pifError->get_reason(strWide.AcceptHere()) == S_OK && strWide.Length() > 0)
        {
            // The parser ends its reason with a line break of its own.
            int cwch = strWide.Length();
            while (cwch > 0 && std::wcschr(L" \t\r\n", strWide.Get()[cwch - 1]) != nullptr)
                --cwch;
            strReason = TextFromWide(strWide.Get(), cwch, CP_ACP);
        }
    }
}

void CXMLDoc::TraceParseError(const CText& strPath) const
{
    long nLine = 0;
    long nColumn = 0;
    CText strReason;
    GetParseError(strReason, nLine, nColumn);
    if (strReason.IsEmpty())
        strReason = "?";
    CText strProblem;
    FormatText(strProblem, "---->\tCXMLDoc::FromURL() parse error %s(%ld,%ld): %s\n",
               strPath.GetString(), nLine, nColumn, strReason.GetString());
    TraceText(strProblem);
}

namespace
{
// The DOM reads the bytes as a stream, so it detects the encoding itself
// (Wine's reads a byte array as UTF-8 since 9.20). The stream holds a copy of
// them. One that cannot be made leaves the value empty: the load fails.
void AttachStream(CComVariant& varXML, const char* pch, ULONG cb)
{
    varXML.AttachUnknown(::SHCreateMemStream(reinterpret_cast<const BYTE*>(pch), cb));
}

// Content that does not parse leaves the document without a root; the caller
// meets that as an empty root element.
void Load(const CXMLDoc& docXML, const CComVariant& varXML)
{
    VARIANT_BOOL fLoaded = VARIANT_FALSE;
    docXML.pif()->load(varXML.Get(), &fLoaded);
}
} // namespace

CInterfacePtr<IStream> ReadConfigStream(const CWideText& strPath, CSharedReadFile& fileXML,
                                        bool* pfScrambled)
{
    const CText strShownPath = AnsiFromWide(strPath);
    const HRESULT hRes = fileXML.Open(strPath.c_str());
    if (hRes != S_OK)
    {
        CText strProblem("---->\tCXMLDoc::FromURL() problem ");
        strProblem += strShownPath;
        strProblem += "\n";
        TraceText(strProblem);
    }
    CHECK_HRESULT(hRes);

    // Four gigabytes or more would be read as the size modulo 4 GiB: refused.
    const ULONGLONG cbFile = fileXML.GetSize();
    if (cbFile > MAXDWORD)
        CHECK_HRESULT(HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    const DWORD nSize = static_cast<DWORD>(cbFile);
    if (nSize == 0)
        CHECK_HRESULT(E_FAIL);

    // nSize + 1 must not wrap around to an empty buffer.
    std::unique_ptr<char[]> bufXML(nSize < MAXDWORD ? new (std::nothrow) char[nSize + 1] : nullptr);
    char* const szBuf = bufXML.get();
    if (szBuf == nullptr)
        CHECK_HRESULT(E_FAIL);
    CHECK_HRESULT(fileXML.Read(szBuf, nSize));
    szBuf[nSize] = '\0';

    // The marker is the name as the launcher always compared it: narrow.
    const char* const pszName = ::PathFindFileNameA(strShownPath);
    const size_t iXML = UnscrambleConfigInPlace(szBuf, nSize, pszName, std::strlen(pszName));
    if (pfScrambled != nullptr)
        *pfScrambled = iXML > 0;
    // A copy of the XML's bytes, not one beyond: the buffer goes now.
    CInterfacePtr<IStream> pifStream;
    *pifStream.AcceptHere() = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(szBuf + iXML),
                                                  static_cast<UINT>(nSize - iXML));
    return pifStream;
}

CXMLDoc CXMLDoc::FromURL(const CWideText& strPath, bool* pfScrambled)
{
    CXMLDoc docXML;
    // The file stays open until the load is done.
    CSharedReadFile fileXML;
    CComVariant varXML;
    varXML.AttachUnknown(ReadConfigStream(strPath, fileXML, pfScrambled).Detach());
    Load(docXML, varXML);
    return docXML;
}

CXMLDoc CXMLDoc::FromBytes(const char* pch, ULONG cb)
{
    CXMLDoc docXML;
    CComVariant varXML;
    AttachStream(varXML, pch, cb);
    Load(docXML, varXML);
    return docXML;
}

CText CXMLElement::GetAttribute(const char* pszName, const char* pszDefault, bool* pfFound) const
{
    if (!*this)
        CHECK_HRESULT(E_POINTER);
    CText strValue;
    bool fFound = false;
    try
    {
        CComVariant varAttribute;
        // Read as absent unless it is a string: S_FALSE, a DOM failure, no name.
        fFound = pszName != nullptr &&
                 pif()->getAttribute(CComBSTR(pszName), varAttribute.AcceptHere()) == S_OK &&
                 varAttribute.Get().vt == VT_BSTR;
        if (fFound)
        {
            // A base letter with a combining accent becomes the precomposed one.
            const BSTR strWide = varAttribute.GetBSTR();
            strValue = TextFromWide(strWide, static_cast<int>(::SysStringLen(strWide)), CP_ACP,
                                    WC_COMPOSITECHECK);
        }
    }
    catch (...)
    {
        CText strFailure;
        FormatText(strFailure, "DoGetAttribute() failed: %s", pszName);
        TraceText(strFailure);
        fFound = false; // the caller falls back to its default
    }
    if (pfFound != nullptr)
        *pfFound = fFound;
    return fFound ? strValue : CText(pszDefault);
}
