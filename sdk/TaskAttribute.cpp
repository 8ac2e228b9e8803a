#include "OstrelinTask.h"

#include "CoreBSTR.h"

bool GetTaskAttribute(IXMLDOMElement* pElement, const wchar_t* pszName, std::wstring& strValue)
{
    strValue.clear();
    if (!pElement || !pszName)
        return false;
    const CComBSTR strName = CComBSTR::FromWide(pszName, static_cast<UINT>(lstrlenW(pszName)));
    CComVariant varValue;
    // S_FALSE with VT_NULL: no such attribute.
    if (pElement->getAttribute(strName, varValue.AcceptHere()) != S_OK ||
        varValue.GetType() != VT_BSTR)
        return false;
    const BSTR strWide = varValue.GetBSTR();
    if (strWide)
        strValue.assign(strWide, SysStringLen(strWide));
    return true;
}
