// Self-registration: HKCR\CLSID\{clsid}\InprocServer32 for every task class of
// the DLL, which is what regsvr32 calls.
#include "TaskRegistration.h"

#include "CoreFile.h"
#include "CoreHandle.h"
#include "OstrelinTask.h"

#include <olectl.h>

#include <string>

namespace OstrelinSdk
{
namespace
{
const char chModuleAnchor = 0; // any address inside this DLL

std::wstring GetClassKeyPath(const CLSID& clsid)
{
    wchar_t szClsid[40] = {};
    StringFromGUID2(clsid, szClsid, ARRAYSIZE(szClsid));
    return std::wstring(L"CLSID\\") + szClsid;
}

LONG GetModulePath(std::wstring& strPath)
{
    HMODULE hModule = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<const wchar_t*>(&chModuleAnchor), &hModule))
        return static_cast<LONG>(GetLastError());
    const CWideText strModulePath = GetModuleFilePathW(hModule);
    strPath.assign(strModulePath.c_str(), strModulePath.size());
    return strPath.empty() ? static_cast<LONG>(GetLastError()) : ERROR_SUCCESS;
}

LONG SetTextValue(const std::wstring& strKeyPath, const wchar_t* pszName,
                  const std::wstring& strValue)
{
    CUniqueRegKey key;
    LONG lResult = RegCreateKeyExW(HKEY_CLASSES_ROOT, strKeyPath.c_str(), 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, key.AcceptHere(), nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    const DWORD cb = static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), pszName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(strValue.c_str()), cb);
}

LONG RegisterTaskClass(const CTaskClass& taskClass, const std::wstring& strModulePath)
{
    const std::wstring strKeyPath = GetClassKeyPath(taskClass.GetClassId());
    const char* pszName = taskClass.GetName();
    const std::wstring strName(pszName, pszName + lstrlenA(pszName)); // a C++ identifier
    LONG lResult = SetTextValue(strKeyPath, nullptr, strName);
    if (lResult == ERROR_SUCCESS)
        lResult = SetTextValue(strKeyPath + L"\\InprocServer32", nullptr, strModulePath);
    if (lResult == ERROR_SUCCESS)
        lResult = SetTextValue(strKeyPath + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    return lResult;
}

LONG UnregisterTaskClass(const CTaskClass& taskClass)
{
    const LONG lResult =
        RegDeleteTreeW(HKEY_CLASSES_ROOT, GetClassKeyPath(taskClass.GetClassId()).c_str());
    return lResult == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : lResult;
}
} // namespace

HRESULT RegisterTaskClasses()
{
    return HResultFromTaskCall(
        []
        {
            std::wstring strModulePath;
            LONG lResult = GetModulePath(strModulePath);
            for (CTaskClass* pClass = CTaskClass::GetFirst(); pClass && lResult == ERROR_SUCCESS;
                 pClass = pClass->GetNext())
                lResult = RegisterTaskClass(*pClass, strModulePath);
            return HRESULT_FROM_WIN32(lResult);
        });
}

HRESULT UnregisterTaskClasses()
{
    return HResultFromTaskCall(
        []
        {
            LONG lFirstError = ERROR_SUCCESS;
            for (CTaskClass* pClass = CTaskClass::GetFirst(); pClass; pClass = pClass->GetNext())
            {
                const LONG lResult = UnregisterTaskClass(*pClass);
                if (lFirstError == ERROR_SUCCESS)
                    lFirstError = lResult;
            }
            return HRESULT_FROM_WIN32(lFirstError);
        });
}
} // namespace OstrelinSdk
