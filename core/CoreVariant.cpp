// The newer operations of CComBSTR. Kept out of CoreBSTR.cpp: the launcher
// links that object file whole, and its size is budgeted.
#include "CoreBSTR.h"

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
