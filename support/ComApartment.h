// COM for the calling thread while the object lives: CoInitializeEx, and
// CoUninitialize only after it succeeded (S_FALSE, a thread that had COM
// already, counts as once more). Move-only, and only within its thread.
#pragma once

#include <objbase.h>

class CComApartment
{
public:
    explicit CComApartment(DWORD dwCoInit = COINIT_APARTMENTTHREADED)
        : m_hr(::CoInitializeEx(nullptr, dwCoInit))
    {
    }
    CComApartment(CComApartment&& src) noexcept : m_hr(src.Detach()) {}
    ~CComApartment() { Leave(); }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;
    CComApartment& operator=(CComApartment&&) = delete;

    // CoInitializeEx's answer; a failure means COM is not there for this owner.
    HRESULT Status() const { return m_hr; }
    explicit operator bool() const { return SUCCEEDED(m_hr); }

    // CoUninitialize now, when it is owed.
    void Leave()
    {
        if (FAILED(m_hr))
            return;
        m_hr = CO_E_NOTINITIALIZED;
        const DWORD dwError = ::GetLastError();
        ::CoUninitialize();
        ::SetLastError(dwError);
    }
    // Gives the CoUninitialize up: the caller owes it when the answer succeeded.
    HRESULT Detach()
    {
        const HRESULT hr = m_hr;
        m_hr = CO_E_NOTINITIALIZED;
        return hr;
    }

private:
    HRESULT m_hr;
};
