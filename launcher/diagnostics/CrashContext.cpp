#include "CrashContext.h"

#include <cstring>

namespace
{
char g_szCrashContext[256];
} // namespace

void SetCrashContext(const char* pszContext)
{
    const size_t cch = pszContext != nullptr ? std::strlen(pszContext) : 0;
    const size_t cchKept = cch < sizeof(g_szCrashContext) ? cch : sizeof(g_szCrashContext) - 1;
    std::memcpy(g_szCrashContext, pszContext != nullptr ? pszContext : "", cchKept);
    g_szCrashContext[cchKept] = '\0';
}

const char* GetCrashContext()
{
    return g_szCrashContext;
}
