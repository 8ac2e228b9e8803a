#include "CoreModule.h"

namespace
{
// MAX_PATH first; a longer path (long-path aware systems) grows the buffer.
const DWORD nLongestPath = 0x8000;
} // namespace

CText GetModuleFilePath(HMODULE hModule)
{
    CText strPath;
    for (DWORD nSize = MAX_PATH;; nSize *= 2)
    {
        char* szBuf = strPath.GetBufferSetLength(static_cast<int>(nSize));
        const DWORD cch = ::GetModuleFileNameA(hModule, szBuf, nSize);
        if (cch < nSize || nSize >= nLongestPath)
            return CText(szBuf, static_cast<int>(cch < nSize ? cch : nSize));
    }
}

CWideText GetModuleFilePathW(HMODULE hModule)
{
    CWideText strPath;
    for (DWORD nSize = MAX_PATH;; nSize *= 2)
    {
        strPath.resize(nSize);
        const DWORD cch = ::GetModuleFileNameW(hModule, &strPath[0], nSize);
        if (cch < nSize || nSize >= nLongestPath)
        {
            strPath.resize(cch < nSize ? cch : nSize); // shrinks: the last error stays
            return strPath;
        }
    }
}
