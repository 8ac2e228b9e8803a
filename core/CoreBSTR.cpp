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
