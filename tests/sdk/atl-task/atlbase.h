// A stand-in for ATL's atlbase.h: the ATL names a task uses most, declared in
// namespace ATL and brought into the global scope, as ATL does.
#pragma once

#include <windows.h>

namespace ATL
{
struct CAtlException
{
    explicit CAtlException(HRESULT hr) : m_hr(hr) {}
    HRESULT m_hr;
};

[[noreturn]] inline void AtlThrow(HRESULT hr)
{
    throw CAtlException(hr);
}

struct CComBSTR
{
    BSTR m_str = nullptr;
};

struct CComVariant : VARIANT
{
};

template <class T> struct CComPtr
{
    T* p = nullptr;
};
} // namespace ATL

using namespace ATL;
