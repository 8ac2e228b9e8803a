#include "CoreXML.h"

#include <gtest/gtest.h>

namespace
{
// Counts its references; answers IUnknown only.
struct CCounted : IUnknown
{
    ULONG cRef = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override
    {
        *ppv = ::IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
        return *ppv != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++cRef; }
    ULONG STDMETHODCALLTYPE Release() override { return --cRef; }
};

// pif takes over a new reference to the object.
void Hold(CInterfacePtr<IUnknown>& pif, CCounted& object)
{
    object.AddRef();
    *pif.AcceptHere() = &object;
}

TEST(InterfacePtr, OwnsItsReference)
{
    CCounted object;
    {
        CInterfacePtr<IUnknown> pif;
        EXPECT_FALSE(pif);
        Hold(pif, object);
        const CInterfacePtr<IUnknown> pifCopy(pif);
        EXPECT_TRUE(pif && pifCopy.pif() == &object && object.cRef == 3);
        EXPECT_EQ(nullptr, *pif.AcceptHere());
        EXPECT_TRUE(!pif && object.cRef == 2);
    }
    EXPECT_EQ(1u, object.cRef);
}

TEST(InterfacePtr, QueryInterfaceAnswers)
{
    CCounted source, held;
    CInterfacePtr<IUnknown> pifEmpty, pifSource, pifTarget;
    Hold(pifSource, source);
    Hold(pifTarget, held);
    EXPECT_EQ(E_POINTER, pifSource.QueryInterface(IID_IUnknown, (CInterfacePtr<IUnknown>*)nullptr));
    // An empty pointer leaves the target as it was.
    EXPECT_EQ(S_FALSE, pifEmpty.QueryInterface(IID_IUnknown, &pifTarget));
    EXPECT_TRUE(pifTarget.pif() == &held && held.cRef == 2);
    // Otherwise the target lets go first, then takes the object's answer.
    EXPECT_EQ(E_NOINTERFACE, pifSource.QueryInterface(IID_IDispatch, &pifTarget));
    EXPECT_TRUE(!pifTarget && held.cRef == 1);
    EXPECT_EQ(S_OK, pifSource.QueryInterface(IID_IUnknown, &pifTarget));
    EXPECT_TRUE(pifTarget.pif() == &source && source.cRef == 3);
    EXPECT_EQ(S_OK, pifTarget.QueryInterface(IID_IUnknown, &pifTarget)); // into itself
    EXPECT_EQ(3u, source.cRef);
}
} // namespace
