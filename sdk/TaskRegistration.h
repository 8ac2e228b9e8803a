// The registry entries of the DLL's task classes, for DllRegisterServer and
// DllUnregisterServer.
#pragma once

#include <windows.h>

namespace OstrelinSdk
{
// HKCR\CLSID\{clsid} with its InprocServer32 key for every class of the DLL.
HRESULT RegisterTaskClasses();
// Removes them; a class that is not registered is no error.
HRESULT UnregisterTaskClasses();
} // namespace OstrelinSdk
