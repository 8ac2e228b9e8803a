#include "OstrelinTask.h"

#include "CoreError.h"

#include <new>

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
    try
    {
        return OnInit(pElement, phRegisterMutex);
    }
    catch (...)
    {
        return HResultFromCurrentException();
    }
}

HRESULT STDMETHODCALLTYPE CTaskBase::Run(TaskInstruction* peInstruction)
{
    if (!peInstruction)
        return E_POINTER;
    try
    {
        return OnRun(*peInstruction);
    }
    catch (...)
    {
        return HResultFromCurrentException();
    }
}

HRESULT CTaskBase::OnInit(IXMLDOMElement* /*pElement*/, HANDLE* /*phRegisterMutex*/)
{
    return S_OK;
}

HRESULT HResultFromCurrentException()
{
    HRESULT hr = E_UNEXPECTED;
    try
    {
        throw;
    }
    catch (const std::bad_alloc&)
    {
        hr = E_OUTOFMEMORY;
    }
    catch (const CCoreError& error)
    {
        hr = error.GetHResult();
    }
    catch (const CAtlException& error)
    {
        hr = error.m_hr;
    }
    catch (...)
    {
    }
    // A Win32 error with last-error code 0 maps to 0: still a failure here.
    return FAILED(hr) ? hr : E_FAIL;
}
