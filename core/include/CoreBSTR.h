// Owners of the strings and values of OLE Automation calls. Narrow text
// crosses to UTF-16 in the thread's ANSI code page.
#pragma once

#include "CoreText.h"

#include <oleauto.h>

// Owns one string; neither copied nor moved. Read with Get(); only a temporary
// converts by itself, so that it can be an in-parameter of the call it is made
// for (f(CComBSTR(psz))), and a named string is never compared as the pointer
// it holds.
class CComBSTR
{
public:
    CComBSTR() = default;
    // Null text gives a null string, as COM reads an empty one; CAtlException
    // when memory runs out.
    explicit CComBSTR(const char* psz);
    ~CComBSTR() { ::SysFreeString(m_str); }
    CComBSTR(const CComBSTR&) = delete;
    CComBSTR& operator=(const CComBSTR&) = delete;

    BSTR Get() const { return m_str; }
    operator BSTR() const&& { return m_str; }
    int Length() const { return static_cast<int>(::SysStringLen(m_str)); }
    // Frees the string and lends the slot to a call that delivers a new one.
    BSTR* AcceptHere()
    {
        Attach(nullptr);
        return &m_str;
    }
    // Frees the string and owns str from now on.
    void Attach(BSTR str)
    {
        if (str != m_str)
            ::SysFreeString(m_str);
        m_str = str;
    }

private:
    BSTR m_str = nullptr;
};

// A VARIANT that clears itself; it holds one, so that no VARIANT operation
// reaches the value behind the owner's back.
class CComVariant
{
public:
    CComVariant() { ::VariantInit(&m_var); }
    ~CComVariant() { ::VariantClear(&m_var); }
    CComVariant(const CComVariant&) = delete;
    CComVariant& operator=(const CComVariant&) = delete;

    const VARIANT& Get() const { return m_var; }
    // Clears the value and lends it to a call that delivers a new one.
    VARIANT* AcceptHere()
    {
        ::VariantClear(&m_var);
        return &m_var;
    }
    // Clears the value and owns punk from now on (VT_UNKNOWN); a null punk
    // leaves the value empty.
    void AttachUnknown(IUnknown* punk)
    {
        ::VariantClear(&m_var);
        if (punk == nullptr)
            return;
        V_VT(&m_var) = VT_UNKNOWN;
        V_UNKNOWN(&m_var) = punk;
    }

    // The wide string the value holds; null when it holds none.
    BSTR GetBSTR() const { return V_VT(&m_var) == VT_BSTR ? V_BSTR(&m_var) : nullptr; }

private:
    VARIANT m_var;
};
