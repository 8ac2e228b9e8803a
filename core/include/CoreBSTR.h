// Owned wide strings and values for COM calls. Narrow text crosses to and from
// UTF-16 in the thread's ANSI code page unless a call names another one.
#pragma once

#include "CoreText.h"

#include <oleauto.h>

#include <cstring>

// Narrow text to UTF-16; CAtlException when memory runs out. Move-only; it
// takes a string over only when told (Attach), and it converts to BSTR for
// calls but is never compared: as pointers two copies of one text differ.
class CComBSTR
{
public:
    CComBSTR() = default;
    // Null text gives a null string, as COM reads an empty one.
    explicit CComBSTR(const char* psz);
    CComBSTR(const char* pch, int cch);
    CComBSTR(CComBSTR&& src) noexcept : m_str(src.Detach()) {}
    CComBSTR& operator=(CComBSTR&& src) noexcept
    {
        Attach(src.Detach());
        return *this;
    }
    ~CComBSTR() { ::SysFreeString(m_str); }
    CComBSTR(const CComBSTR&) = delete;
    CComBSTR& operator=(const CComBSTR&) = delete;

    // A copy of cwch UTF-16 units (null pwch and 0: a null string).
    static CComBSTR FromWide(const wchar_t* pwch, UINT cwch);

    operator BSTR() const { return m_str; }
    int Length() const { return static_cast<int>(::SysStringLen(m_str)); }
    // Frees the string and lends the slot to a call that delivers a new one.
    BSTR* AcceptHere();
    // Frees the string and owns str from now on.
    void Attach(BSTR str)
    {
        if (str == m_str)
            return;
        ::SysFreeString(m_str);
        m_str = str;
    }
    // Hands the string over; the caller frees it.
    BSTR Detach();

private:
    BSTR m_str = nullptr;
};

// No comparison of CComBSTR reaches the pointers behind operator BSTR.
#define CORE_NO_BSTR_COMPARISON(op)                                                                \
    bool operator op(const CComBSTR&, const CComBSTR&) = delete;                                   \
    template <class T> bool operator op(const CComBSTR&, const T&) = delete;                       \
    template <class T> bool operator op(const T&, const CComBSTR&) = delete
CORE_NO_BSTR_COMPARISON(==);
CORE_NO_BSTR_COMPARISON(!=);
CORE_NO_BSTR_COMPARISON(<);
CORE_NO_BSTR_COMPARISON(<=);
CORE_NO_BSTR_COMPARISON(>);
CORE_NO_BSTR_COMPARISON(>=);
#undef CORE_NO_BSTR_COMPARISON

// UTF-16 to narrow text in the given code page; characters the code page lacks
// become its default character. CAtlException when memory runs out.
CText TextFromWide(const wchar_t* pwch, int cwch, UINT uCodePage = CP_THREAD_ACP,
                   DWORD dwFlags = 0);

// Narrow text of the given code page to UTF-16; CAtlException when memory
// runs out.
CWideText WideFromText(const char* pch, int cch, UINT uCodePage = CP_ACP);

// A VARIANT that clears itself. Its value is set and read through these
// operations only, never through V_VT and its kin.
class CComVariant : public VARIANT
{
public:
    CComVariant() { ::VariantInit(this); }
    // A wide-string value holding the text (null text: no string).
    explicit CComVariant(const char* psz);
    // Takes the string over (new code says so: SetBSTR(std::move(str))).
    explicit CComVariant(CComBSTR& str);
    CComVariant(const CComVariant& src);
    ~CComVariant() { ::VariantClear(this); }
    CComVariant& operator=(const CComVariant&) = delete;

    // VariantCopy; when it fails the value is VT_ERROR carrying its status.
    HRESULT Copy(const VARIANT* pSrc);
    // Converts the value to a wide string in place; CAtlException on failure.
    void ChangeToBSTR();
    // The value as narrow text; it must hold a wide string.
    CText ToText() const;

    // Each setter clears the old value first.
    // A wide-string value that owns str's string (a null one included).
    void SetBSTR(CComBSTR&& str);
    void SetLong(LONG nValue);
    // A byte array (VT_ARRAY | VT_UI1) with a copy of cb bytes. S_OK; or
    // E_OUTOFMEMORY with the value left empty when no array can be made, or
    // SafeArrayAccessData's failure with the array in place, all zeros.
    HRESULT SetByteArray(const void* pvData, ULONG cb);

    // Clears the value and lends it to a call that delivers a new one.
    VARIANT* AcceptHere();

    VARTYPE GetType() const { return V_VT(this); }
    // The wide string the value holds; null when it holds none.
    BSTR GetBSTR() const { return V_VT(this) == VT_BSTR ? V_BSTR(this) : nullptr; }
};

// Inline: the launcher uses them, and an object file of their own would add
// its whole self to its budgeted size.
inline void CComVariant::SetBSTR(CComBSTR&& str)
{
    ::VariantClear(this);
    V_VT(this) = VT_BSTR;
    V_BSTR(this) = str.Detach();
}

inline void CComVariant::SetLong(LONG nValue)
{
    ::VariantClear(this);
    V_VT(this) = VT_I4;
    V_I4(this) = nValue;
}

inline HRESULT CComVariant::SetByteArray(const void* pvData, ULONG cb)
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

inline VARIANT* CComVariant::AcceptHere()
{
    ::VariantClear(this);
    return this;
}
