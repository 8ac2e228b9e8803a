// The newer operations of CComBSTR and CComVariant. Kept out of CoreBSTR.cpp:
// the launcher links that object file whole, and its size is budgeted.
#include "CoreBSTR.h"

#include <cstring>

CComBSTR CComBSTR::FromWide(const wchar_t* pwch, UINT cwch)
{
    if (pwch == nullptr && cwch > 0)
        AtlThrow(E_INVALIDARG);
    CComBSTR str;
    if (pwch == nullptr)
        return str;
    str.m_str = ::SysAllocStringLen(pwch, cwch);
    if (str.m_str == nullptr)
        AtlThrow(E_OUTOFMEMORY);
    return str;
}

void CComVariant::SetBSTR(CComBSTR&& str)
{
    ::VariantClear(this);
    V_VT(this) = VT_BSTR;
    V_BSTR(this) = str.Detach();
}

void CComVariant::SetLong(LONG nValue)
{
    ::VariantClear(this);
    V_VT(this) = VT_I4;
    V_I4(this) = nValue;
}

HRESULT CComVariant::SetByteArray(const void* pvData, ULONG cb)
{
    ::VariantClear(this);
    SAFEARRAY* const psa = ::SafeArrayCreateVector(VT_UI1, 0, cb);
    if (psa == nullptr)
        return E_OUTOFMEMORY;
    V_VT(this) = VT_ARRAY | VT_UI1;
    V_ARRAY(this) = psa;
    void* pvArray = nullptr;
    const HRESULT hr = ::SafeArrayAccessData(psa, &pvArray);
    if (FAILED(hr))
        return hr;
    if (cb > 0)
        std::memcpy(pvArray, pvData, cb);
    ::SafeArrayUnaccessData(psa);
    return S_OK;
}

VARIANT* CComVariant::AcceptHere()
{
    ::VariantClear(this);
    return this;
}
