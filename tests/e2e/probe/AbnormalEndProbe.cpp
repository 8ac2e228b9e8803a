// The launcher's abnormal ends in a program of their own, for the ends that no
// task can reach in the launcher: std::terminate in its own code, and a crash
// record while the run has said what it is doing.
// "fill" writes records past the explain file's cap, then aborts.
//     ostrelin-abnormal-probe <terminate|hresult|abort|crash|fill> [context]
#include "AbnormalEnd.h"
#include "CoreError.h"
#include "CrashContext.h"
#include "Explain.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace
{
void Throw(const char* pszKind)
{
    if (std::strcmp(pszKind, "hresult") == 0)
        CHECK_HRESULT(E_FAIL);
    throw std::runtime_error("left a noexcept function");
}

void LeaveNoexcept(const char* pszKind) noexcept
{
    Throw(pszKind);
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InstallAbnormalEndHandlers(4);
    StartExplainedRun();
    const char* const pszAction = __argc > 1 ? __argv[1] : "";
    if (__argc > 2)
        SetCrashContext(__argv[2]);
    if (std::strcmp(pszAction, "fill") == 0)
    {
        char szRecord[1024];
        std::memset(szRecord, 'x', sizeof(szRecord) - 2);
        szRecord[sizeof(szRecord) - 2] = '\n';
        szRecord[sizeof(szRecord) - 1] = '\0';
        for (int i = 0; i < 11 * 1024; ++i)
            ::OutputDebugStringA(szRecord);
        std::abort();
    }
    if (std::strcmp(pszAction, "abort") == 0)
        std::abort();
    if (std::strcmp(pszAction, "crash") == 0)
        *static_cast<volatile int*>(nullptr) = 1;
    LeaveNoexcept(pszAction); // "terminate", "hresult"
    return 0;
}
