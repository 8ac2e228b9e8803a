// The owning COM pointer. A call that delivers an interface through an
// out-parameter is given the pointer's slot, so that the new reference lands
// in the owner:
//
//     CInterfacePtr<ITask> pifTask;
//     ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
//                        pifTask.AcceptHereAsVoid());
//     CInterfacePtr<IXMLDOMElement> pifElement;
//     pifNode.QueryInterface(&pifElement); // the IID comes from the type
#pragma once

#include <objbase.h>

// The interface identifier of T, for the typed forms: __uuidof where T's
// declaration carries one (MIDL_INTERFACE under MSVC, __CRT_UUID_DECL under
// mingw-w64); CORE_INTERFACE_ID names it for an interface that lacks one.
template <class T> struct CInterfaceId
{
    static const IID& Get() { return __uuidof(T); }
};

#define CORE_INTERFACE_ID(TInterface, iid)                                                         \
    template <> struct CInterfaceId<TInterface>                                                    \
    {                                                                                              \
        static const IID& Get() { return iid; }                                                    \
    }

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
    // The same for U's own identifier.
    template <class U> HRESULT QueryInterface(CInterfacePtr<U>* pTarget) const
    {
        return QueryInterface(CInterfaceId<U>::Get(), pTarget);
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
