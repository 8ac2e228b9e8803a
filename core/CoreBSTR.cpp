#include "CoreBSTR.h"

#include <cstring>

CComBSTR::CComBSTR(const char* psz)
{
    if (psz == nullptr)
        return;
    const CWideText strWide = WideFromText(psz, static_cast<int>(std::strlen(psz)), CP_THREAD_ACP);
    m_str = ::SysAllocStringLen(strWide.c_str(), static_cast<UINT>(strWide.size()));
    if (m_str == nullptr)
        AtlThrow(E_OUTOFMEMORY);
}

void CComVariant::SetByteArray(const void* pvData, ULONG cb)
{
    ::VariantClear(&m_var);
    SAFEARRAY* const psa = ::SafeArrayCreateVector(VT_UI1, 0, cb);
    if (psa == nullptr)
        return;
    V_VT(&m_var) = VT_ARRAY | VT_UI1;
    V_ARRAY(&m_var) = psa;
    void* pvArray = nullptr;
    if (cb > 0 && SUCCEEDED(::SafeArrayAccessData(psa, &pvArray)))
    {
        std::memcpy(pvArray, pvData, cb);
        ::SafeArrayUnaccessData(psa);
    }
}
