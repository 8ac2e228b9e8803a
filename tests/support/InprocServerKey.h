// A class registered for the tests as COM reads it: its in-process server in
// the registry's view of the test's own bitness.
#pragma once

#include <windows.h>

#include <string>

// Registers clsid's in-process server as value, of type REG_SZ or
// REG_EXPAND_SZ; returns the class's key under HKLM, for RegDeleteTreeA.
inline std::string RegisterInprocServer(const std::string& clsid, const std::string& value,
                                        DWORD dwType = REG_SZ)
{
    const std::string key = "Software\\Classes\\CLSID\\" + clsid;
    HKEY hKey = nullptr;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (key + "\\InprocServer32").c_str(), 0, nullptr, 0,
                      KEY_WRITE, nullptr, &hKey, nullptr);
    ::RegSetValueExA(hKey, nullptr, 0, dwType, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(hKey);
    return key;
}
