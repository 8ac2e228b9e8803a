// A task DLL that fails as no task may, for the tests of the tools that must
// survive it: with FAULT_CRASH its DllGetClassObject crashes, with FAULT_HANG
// it never returns, with FAULT_EXIT loading it ends the process with 7, with
// FAULT_BOX it waits for the user at a message box, with FAULT_FORGE it writes
// what looks like check's answer and ends the process with 7, with
// FAULT_IMPORT it does not load: its import is nowhere or not exported.
// Registered by the tests that use it; never installed.
#include <windows.h>

#ifdef FAULT_IMPORT
extern "C" __declspec(dllimport) int OstrelinImported();
#endif
#ifdef FAULT_IMPORT_API_SET
extern "C" __declspec(dllimport) int OstrelinApiSet();
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, void*)
{
#ifdef FAULT_EXIT
    if (dwReason == DLL_PROCESS_ATTACH)
        ::ExitProcess(7);
#endif
    (void)dwReason;
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID, void** ppv)
{
#ifdef FAULT_CRASH
    // Volatile all through, or the compiler drops the write.
    volatile int* volatile pnNowhere = nullptr;
    *pnNowhere = 0;
#endif
#ifdef FAULT_HANG
    ::Sleep(INFINITE);
#endif
#ifdef FAULT_BOX
    ::MessageBoxW(nullptr, L"Is the network there?", L"Faulty task asks", MB_OK);
#endif
#ifdef FAULT_FORGE
    static const char szForged[] = "\nostrelin-config probe: created 0x00000000 1 forged.dll\n";
    DWORD cbWritten = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), szForged, sizeof szForged - 1, &cbWritten,
                nullptr);
    ::ExitProcess(7);
#endif
    *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
#ifdef FAULT_IMPORT_API_SET
    OstrelinApiSet();
#endif
#ifdef FAULT_IMPORT
    return OstrelinImported() != 0 ? S_FALSE : S_OK;
#endif
    return S_FALSE;
}
