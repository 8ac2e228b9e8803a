// Owned wide strings and values for COM calls. Narrow text crosses to and from
// UTF-16 in the thread's ANSI code page unless a call names another one.
#pragma once

#include "CoreText.h"

#include <oleauto.h>

// Narrow text to UTF-16; CAtlException when memory runs out.
class CComBSTR
{
public:
    CComBSTR() = default;
    // Null text gives a null string, as COM reads an empty one.
    explicit CComBSTR(const char* psz);
    CComBSTR(const char* pch, int cch);
    ~CComBSTR() { ::SysFreeString(m_str); }
    CComBSTR(const CComBSTR&) = delete;
    CComBSTR& operator=(const CComBSTR&) = delete;

    operator BSTR() const { return m_str; }
    int Length() const { return static_cast<int>(::SysStringLen(m_str)); }
    // Frees the string and lends the slot to a call that delivers a new one.
    BSTR* AcceptHere();
    // Hands the string over; the caller frees it.
    BSTR Detach();

private:
    BSTR m_str = nullptr;
};

// UTF-16 to narrow text in the given code page; characters the code page lacks
// become its default character. CAtlException when memory runs out.
CText TextFromWide(const wchar_t* pwch, int cwch, UINT uCodePage = CP_THREAD_ACP,
                   DWORD dwFlags = 0);

// Narrow text of the given code page to UTF-16; CAtlException when memory
// runs out.
CWideText WideFromText(const char* pch, int cch, UINT uCodePage = CP_ACP);

// A VARIANT that clears itself.
class CComVariant : public VARIANT
{
public:
    CComVariant() { ::VariantInit(this); }
    // A wide-string value holding the text (null text: no string).
    explicit CComVariant(const char* psz);
    // Takes the string over.
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
};
