// The class objects of a task DLL and its COM exports. Class objects are
// static, as in the system's own DLLs: their references only hold the module.
// All four exports stand here: every task DLL links this file (its class
// objects use it), and the linker takes from the SDK's library only what is
// referenced, which the .def file's exports are not.
#include "OstrelinTask.h"
#include "TaskRegistration.h"

namespace OstrelinSdk
{
namespace
{
LONG g_cModuleLocks = 0;
}

CTaskClass* CTaskClass::s_pFirst = nullptr;

void LockTaskModule()
{
    InterlockedIncrement(&g_cModuleLocks);
}

void UnlockTaskModule()
{
    InterlockedDecrement(&g_cModuleLocks);
}

CTaskClass::CTaskClass(const CLSID& clsid, const char* pszName, CreateFunction pfnCreate)
    : m_clsid(clsid), m_pszName(pszName), m_pfnCreate(pfnCreate), m_pNext(s_pFirst)
{
    s_pFirst = this;
}

HRESULT STDMETHODCALLTYPE CTaskClass::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CTaskClass::AddRef()
{
    LockTaskModule();
    return 2; // not heap-based
}

ULONG STDMETHODCALLTYPE CTaskClass::Release()
{
    UnlockTaskModule();
    return 1;
}

HRESULT STDMETHODCALLTYPE CTaskClass::CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (pOuter)
        return CLASS_E_NOAGGREGATION;
    return m_pfnCreate(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CTaskClass::LockServer(BOOL fLock)
{
    if (fLock)
        LockTaskModule();
    else
        UnlockTaskModule();
    return S_OK;
}
} // namespace OstrelinSdk

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (OstrelinSdk::CTaskClass* pClass = OstrelinSdk::CTaskClass::GetFirst(); pClass;
         pClass = pClass->GetNext())
    {
        if (IsEqualCLSID(rclsid, pClass->GetClassId()))
            return pClass->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    if (!OstrelinSdk::TaskModuleMayUnload())
        return S_FALSE;
    return InterlockedCompareExchange(&OstrelinSdk::g_cModuleLocks, 0, 0) == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    return OstrelinSdk::RegisterTaskClasses();
}

STDAPI DllUnregisterServer()
{
    return OstrelinSdk::UnregisterTaskClasses();
}
