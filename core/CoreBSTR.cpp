#include "CoreBSTR.h"

#include "CoreTrace.h"

#include <cstring>
#include <new>

namespace
{
// A conversion that answers 0 for non-empty input failed: out of memory as far
// as the caller can tell apart.
[[noreturn]] void ThrowConversionFailure()
{
    const HRESULT hr = HResultFromLastError();
    AtlThrow(FAILED(hr) ? hr : E_OUTOFMEMORY);
}
} // namespace

CComBSTR::CComBSTR(const char* psz)
{
    if (psz != nullptr)
    {
        CComBSTR strWide(psz, static_cast<int>(std::strlen(psz)));
        m_str = strWide.Detach();
    }
}

CComBSTR::CComBSTR(const char* pch, int cch)
{
    if (cch < 0 || (pch == nullptr && cch > 0))
        AtlThrow(E_INVALIDARG);
    const int cwch = cch == 0 ? 0 : ::MultiByteToWideChar(CP_THREAD_ACP, 0, pch, cch, nullptr, 0);
    if (cch > 0 && cwch == 0)
        ThrowConversionFailure();
    m_str = ::SysAllocStringLen(nullptr, static_cast<UINT>(cwch));
    if (m_str == nullptr)
        AtlThrow(E_OUTOFMEMORY);
    if (cwch > 0 && ::MultiByteToWideChar(CP_THREAD_ACP, 0, pch, cch, m_str, cwch) != cwch)
        ThrowConversionFailure();
}

BSTR* CComBSTR::AcceptHere()
{
    ::SysFreeString(m_str);
    m_str = nullptr;
    return &m_str;
}

BSTR CComBSTR::Detach()
{
    BSTR str = m_str;
    m_str = nullptr;
    return str;
}

CText TextFromWide(const wchar_t* pwch, int cwch, UINT uCodePage, DWORD dwFlags)
{
    if (cwch < 0 || (pwch == nullptr && cwch > 0))
        AtlThrow(E_INVALIDARG);
    CText strText;
    if (cwch == 0)
        return strText;
    const int cch =
        ::WideCharToMultiByte(uCodePage, dwFlags, pwch, cwch, nullptr, 0, nullptr, nullptr);
    if (cch == 0)
        ThrowConversionFailure();
    char* pch = strText.GetBufferSetLength(cch);
    if (::WideCharToMultiByte(uCodePage, dwFlags, pwch, cwch, pch, cch, nullptr, nullptr) != cch)
        ThrowConversionFailure();
    return strText;
}

CWideText WideFromText(const char* pch, int cch, UINT uCodePage)
{
    if (cch < 0 || (pch == nullptr && cch > 0))
        AtlThrow(E_INVALIDARG);
    const int cwch = cch == 0 ? 0 : ::MultiByteToWideChar(uCodePage, 0, pch, cch, nullptr, 0);
    if (cch > 0 && cwch == 0)
        ThrowConversionFailure();
    CWideText str;
    try
    {
        str.resize(static_cast<size_t>(cwch));
    }
    catch (const std::bad_alloc&)
    {
        AtlThrow(E_OUTOFMEMORY);
    }
    if (cwch > 0 && ::MultiByteToWideChar(uCodePage, 0, pch, cch, &str[0], cwch) != cwch)
        ThrowConversionFailure();
    return str;
}

CComVariant::CComVariant(const char* psz)
{
    ::VariantInit(this);
    CComBSTR str(psz);
    V_VT(this) = VT_BSTR;
    V_BSTR(this) = str.Detach();
}

CComVariant::CComVariant(CComBSTR& str)
{
    ::VariantInit(this);
    V_VT(this) = VT_BSTR;
    V_BSTR(this) = str.Detach();
}

CComVariant::CComVariant(const CComVariant& src) : VARIANT()
{
    ::VariantInit(this);
    Copy(&src);
}

HRESULT CComVariant::Copy(const VARIANT* pSrc)
{
    const HRESULT hr = ::VariantCopy(this, const_cast<VARIANT*>(pSrc));
    if (FAILED(hr))
    {
        V_VT(this) = VT_ERROR;
        V_ERROR(this) = hr;
    }
    return hr;
}

void CComVariant::ChangeToBSTR()
{
    const HRESULT hr = ::VariantChangeType(this, this, 0, VT_BSTR);
    if (FAILED(hr))
        AtlThrow(hr);
}

CText CComVariant::ToText() const
{
    if (V_VT(this) != VT_BSTR)
        AtlThrow(DISP_E_TYPEMISMATCH);
    return TextFromWide(V_BSTR(this), static_cast<int>(::SysStringLen(V_BSTR(this))));
}
