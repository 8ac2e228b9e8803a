// Apart from CoreModule.cpp: the launcher links that object file whole, and
// its size is budgeted.
#include "CoreModule.h"

HMODULE GetModuleOf(const void* pvAddress)
{
    HMODULE hModule = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<const wchar_t*>(pvAddress), &hModule))
        return nullptr;
    return hModule;
}
