#include "OstrelinTask.h"

namespace OstrelinSdk
{
CTaskBase::CTaskBase() : m_cRef(1)
{
    LockTaskModule();
}

CTaskBase::~CTaskBase()
{
    UnlockTaskModule();
}

HRESULT STDMETHODCALLTYPE CTaskBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_ITask))
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<ITask*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CTaskBase::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

ULONG STDMETHODCALLTYPE CTaskBase::Release()
{
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

HRESULT STDMETHODCALLTYPE CTaskBase::Init(IXMLDOMElement* pElement, HANDLE* phRegisterMutex)
{
    return HResultFromTaskCall([&] { return OnInit(pElement, phRegisterMutex); });
}

HRESULT STDMETHODCALLTYPE CTaskBase::Run(TaskInstruction* peInstruction)
{
    if (!peInstruction)
        return E_POINTER;
    return HResultFromTaskCall([&] { return OnRun(*peInstruction); });
}

HRESULT CTaskBase::OnInit(IXMLDOMElement* /*pElement*/, HANDLE* /*phRegisterMutex*/)
{
    return S_OK;
}
} // namespace OstrelinSdk
