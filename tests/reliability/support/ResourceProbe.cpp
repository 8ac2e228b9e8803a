#include "ResourceProbe.h"

#include <psapi.h>

namespace
{
const ULONG_PTR nHighestProbedHandle = 16 * 1024;
}

CResourceFigures ReadResourceFigures()
{
    CResourceFigures figures;
    DWORD cHandles = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &cHandles) && cHandles > 0)
        figures.handles = cHandles;
    else
    {
        DWORD dwFlags = 0;
        for (ULONG_PTR nValue = 4; nValue < nHighestProbedHandle; nValue += 4)
        {
            if (::GetHandleInformation(reinterpret_cast<HANDLE>(nValue), &dwFlags))
                ++figures.handles;
        }
    }
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
    figures.privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return figures;
}
