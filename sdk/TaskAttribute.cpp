#include "OstrelinTask.h"

#include "CoreBSTR.h"

namespace OstrelinSdk
{
bool GetTaskAttribute(IXMLDOMElement* pElement, const wchar_t* pszName, std::wstring& strValue)
{
    strValue.clear();
    if (!pElement || !pszName)
        return false;
    CComBSTR strName;
    strName.Attach(::SysAllocString(pszName));
    if (!strName.Get())
        return false;
    CComVariant varValue;
    // S_FALSE with VT_NULL: no such attribute.
    if (pElement->getAttribute(strName.Get(), varValue.AcceptHere()) != S_OK ||
        varValue.Get().vt != VT_BSTR)
        return false;
    const BSTR strWide = varValue.GetBSTR();
    if (strWide)
        strValue.assign(strWide, SysStringLen(strWide));
    return true;
}
} // namespace OstrelinSdk
