#include "ConfigSafety.h"

#include "CoreXML.h"
#include "TestTaskClsid.h"

#include <iterator>

namespace
{
const wchar_t* const unsafeAttributes[] = {
    L"Terminate",   L"CopyFrom",    L"CopyTo", L"DelayMs",      L"WaitEvent",
    L"Instruction", L"ReloadCount", L"Log",    L"OverlapMutex", L"CloseRegisterMutex",
};

bool IsRegisteredClass(const CLSID& clsid)
{
    wchar_t szClsid[64] = L"";
    ::StringFromGUID2(clsid, szClsid, static_cast<int>(std::size(szClsid)));
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + szClsid).c_str(), 0,
                        KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(hKey);
    return true;
}

// Why this element may not run, or empty.
std::string CheckElement(const CInterfacePtr<IXMLDOMElement>& pifElement)
{
    CInterfacePtr<IXMLDOMNamedNodeMap> pifAttributes;
    if (pifElement->get_attributes(pifAttributes.AcceptHere()) != S_OK || !pifAttributes)
        return std::string();
    long cAttributes = 0;
    pifAttributes->get_length(&cAttributes);
    for (long i = 0; i < cAttributes; ++i)
    {
        CInterfacePtr<IXMLDOMNode> pifAttribute;
        BSTR bstrName = nullptr;
        if (pifAttributes->get_item(i, pifAttribute.AcceptHere()) != S_OK || !pifAttribute ||
            pifAttribute->get_nodeName(&bstrName) != S_OK)
            continue;
        const std::wstring name(bstrName, ::SysStringLen(bstrName));
        ::SysFreeString(bstrName);
        for (const wchar_t* pszUnsafe : unsafeAttributes)
        {
            if (name == pszUnsafe)
                return "attribute " + std::string(name.begin(), name.end()); // ASCII names
        }
    }

    // The class as the runner reads it: through the ANSI code page.
    const CText strClsid = CXMLElement(pifElement).GetAttribute("CLSID", "", nullptr);
    CLSID clsid = {};
    if (::CLSIDFromString(CComBSTR(strClsid), &clsid) == S_OK &&
        !::IsEqualCLSID(clsid, CLSID_OstrelinTestTask) && IsRegisteredClass(clsid))
        return "registered class " + std::string(strClsid.GetString());
    return std::string();
}
} // namespace

std::string WhyUnsafeToRun(const std::string& path)
{
    try
    {
        const CXMLDoc doc = CXMLDoc::FromURL(CText(path.c_str()));
        CInterfacePtr<IXMLDOMNodeList> pifElements;
        if (doc.pif()->getElementsByTagName(CComBSTR("*"), pifElements.AcceptHere()) != S_OK ||
            !pifElements)
            return std::string();
        long cElements = 0;
        pifElements->get_length(&cElements);
        for (long i = 0; i < cElements; ++i)
        {
            CInterfacePtr<IXMLDOMNode> pifNode;
            CInterfacePtr<IXMLDOMElement> pifElement;
            if (pifElements->get_item(i, pifNode.AcceptHere()) != S_OK || !pifNode ||
                pifNode.QueryInterface(IID_IXMLDOMElement, &pifElement) != S_OK || !pifElement)
                continue;
            const std::string reason = CheckElement(pifElement);
            if (!reason.empty())
                return reason;
        }
    }
    catch (const CCoreError&)
    {
        // Not loaded: the runner fails before any task.
    }
    return std::string();
}
