// Owns one kernel handle; NULL and INVALID_HANDLE_VALUE stand for none.
#pragma once

#include <windows.h>

class CUniqueHandle
{
public:
    explicit CUniqueHandle(HANDLE h = nullptr) : m_h(h) {}
    ~CUniqueHandle()
    {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_h);
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    HANDLE Get() const { return m_h; }

private:
    HANDLE m_h;
};
