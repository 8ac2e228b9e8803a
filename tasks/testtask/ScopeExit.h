// An action that runs when the scope ends, also when an exception passes:
//
//     CScopeExit restore([&] { ::SetEnvironmentVariableA(pszName, pszOld); });
//
// Move-only; Dismiss() keeps it from running. The action keeps the thread's
// last error, as the handle owners do.
#pragma once

#include <windows.h>

#include <utility>

template <class F> class CScopeExit
{
public:
    explicit CScopeExit(F action) : m_action(std::move(action)) {}
    CScopeExit(CScopeExit&& src) noexcept
        : m_action(std::move(src.m_action)), m_fArmed(src.m_fArmed)
    {
        src.m_fArmed = false;
    }
    ~CScopeExit()
    {
        if (!m_fArmed)
            return;
        const DWORD dwError = ::GetLastError();
        m_action();
        ::SetLastError(dwError);
    }
    CScopeExit(const CScopeExit&) = delete;
    CScopeExit& operator=(const CScopeExit&) = delete;
    CScopeExit& operator=(CScopeExit&&) = delete;

    void Dismiss() { m_fArmed = false; }

private:
    F m_action;
    bool m_fArmed = true;
};
