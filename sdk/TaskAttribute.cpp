#include "OstrelinTask.h"

#include <new>

namespace
{
// Owners of the two OLE Automation values that getAttribute needs.
class CBstr
{
public:
    explicit CBstr(const wchar_t* psz) : m_bstr(SysAllocString(psz))
    {
        if (!m_bstr)
            throw std::bad_alloc();
    }
    ~CBstr() { SysFreeString(m_bstr); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;

    BSTR m_bstr;
};

class CVariant
{
public:
    CVariant() { VariantInit(&m_var); }
    ~CVariant() { VariantClear(&m_var); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    VARIANT m_var;
};
} // namespace

bool GetTaskAttribute(IXMLDOMElement* pElement, const wchar_t* pszName, std::wstring& strValue)
{
    strValue.clear();
    if (!pElement || !pszName)
        return false;
    CBstr bstrName(pszName);
    CVariant value;
    // S_FALSE with VT_NULL: no such attribute.
    if (pElement->getAttribute(bstrName.m_bstr, &value.m_var) != S_OK ||
        V_VT(&value.m_var) != VT_BSTR)
        return false;
    if (V_BSTR(&value.m_var))
        strValue.assign(V_BSTR(&value.m_var), SysStringLen(V_BSTR(&value.m_var)));
    return true;
}
