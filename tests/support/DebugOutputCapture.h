// This process's own debugger-output records while in scope: a vectored handler
// sees OutputDebugStringA's exception first, with or without a debugger.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CDebugOutputCapture
{
public:
    CDebugOutputCapture() : m_hHandler(::AddVectoredExceptionHandler(1, OnException))
    {
        s_pActive = this;
    }
    ~CDebugOutputCapture()
    {
        s_pActive = nullptr;
        ::RemoveVectoredExceptionHandler(m_hHandler);
    }
    CDebugOutputCapture(const CDebugOutputCapture&) = delete;
    CDebugOutputCapture& operator=(const CDebugOutputCapture&) = delete;

    const std::vector<std::string>& Records() const { return m_records; }

private:
    static LONG CALLBACK OnException(EXCEPTION_POINTERS* pInfo)
    {
        const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
        if (s_pActive && pRecord->ExceptionCode == DBG_PRINTEXCEPTION_C &&
            pRecord->NumberParameters >= 2)
            s_pActive->m_records.emplace_back(
                reinterpret_cast<const char*>(pRecord->ExceptionInformation[1]));
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static inline CDebugOutputCapture* s_pActive = nullptr;
    PVOID m_hHandler;
    std::vector<std::string> m_records;
};
