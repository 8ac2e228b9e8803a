#include "SystemLibrary.h"

#include <string>

void LimitDllSearchToSystem()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto pfnSet = reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (pfnSet != nullptr)
        pfnSet(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* pszName)
{
    wchar_t szFolder[MAX_PATH];
    const UINT cch = ::GetSystemDirectoryW(szFolder, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return nullptr;
    return ::LoadLibraryW((std::wstring(szFolder, cch) + L"\\" + pszName).c_str());
}
