// The owning COM pointer. A call that delivers an interface through an
// out-parameter is given the pointer's slot, so that the new reference lands
// in the owner:
//
//     CInterfacePtr<ITask> pifTask;
//     ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
//                        pifTask.AcceptHereAsVoid());
//     CInterfacePtr<IXMLDOMElement> pifElement;
//     pifNode.QueryInterface(IID_IXMLDOMElement, &pifElement);
//
// Read with pif(), the name the trace's check-point expressions show.
#pragma once

#include <objbase.h>

// Owns one reference to a COM object, or nothing. Copies share the object
// (AddRef); a move hands the reference over.
template <class T> class CInterfacePtr
{
public:
    CInterfacePtr() = default;
    CInterfacePtr(const CInterfacePtr& src) : m_pif(src.m_pif)
    {
        if (m_pif != nullptr)
            m_pif->AddRef();
    }
    CInterfacePtr(CInterfacePtr&& src) noexcept : m_pif(src.Detach()) {}
    ~CInterfacePtr() { Release(); }
    CInterfacePtr& operator=(CInterfacePtr&& src) noexcept
    {
        Attach(src.Detach());
        return *this;
    }
    CInterfacePtr& operator=(const CInterfacePtr&) = delete;

    T* pif() const { return m_pif; }
    T* operator->() const { return m_pif; }

    // Empties this pointer and lends its slot to a call that delivers a new
    // reference, which this pointer then owns.
    T** AcceptHere()
    {
        Release();
        return &m_pif;
    }
    // The same slot for a call that delivers through void** (CoCreateInstance,
    // IUnknown::QueryInterface); the caller asks for T's identifier.
    void** AcceptHereAsVoid() { return reinterpret_cast<void**>(AcceptHere()); }

    // E_POINTER without a target; S_FALSE, target untouched, when this pointer
    // is empty; otherwise the object's own answer, delivered into the target
    // after what it held was released.
    template <class U> HRESULT QueryInterface(REFIID iid, CInterfacePtr<U>* pTarget) const
    {
        if (pTarget == nullptr)
            return E_POINTER;
        if (m_pif == nullptr)
            return S_FALSE;
        const CInterfacePtr keep(*this); // the target may be this very pointer
        return keep.m_pif->QueryInterface(iid, pTarget->AcceptHereAsVoid());
    }
    // Releases what is held and owns pif's reference from now on (no AddRef).
    void Attach(T* pif)
    {
        T* pifOld = m_pif;
        m_pif = pif;
        if (pifOld != nullptr)
            pifOld->Release();
    }
    // Gives the reference up (no Release): the caller releases it.
    T* Detach()
    {
        T* pif = m_pif;
        m_pif = nullptr;
        return pif;
    }

    explicit operator bool() const { return m_pif != nullptr; }

private:
    void Release() { Attach(nullptr); }

    T* m_pif = nullptr;
};
