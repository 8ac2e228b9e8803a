// The SDK's COM plumbing, on a DLL of two classes that these tests load and
// register themselves.
#include "SdkTestSupport.h"

namespace
{
// As tasks/hello/HelloTask.cpp and ThrowingTask.cpp define them.
const CLSID CLSID_HelloTask = {
    0x5afebdb9, 0xda2e, 0x4ad0, {0x9b, 0x1b, 0x95, 0x1a, 0xe4, 0xbd, 0x75, 0x29}};
const CLSID CLSID_ThrowingTask = {
    0x96edf6af, 0xec6f, 0x4ee1, {0xb6, 0x2d, 0x11, 0xd0, 0x9d, 0xa9, 0xa2, 0x8b}};

class TaskModule : public CComTest
{
protected:
    void SetUp() override
    {
        CComTest::SetUp();
        ASSERT_NE(nullptr, hModule = LoadLibraryW(GetBinPath(L"SdkTestTasks.dll").c_str()));
    }
    void TearDown() override
    {
        FreeLibrary(hModule);
        CComTest::TearDown();
    }
    void* Export(const char* pszName)
    {
        return reinterpret_cast<void*>(GetProcAddress(hModule, pszName));
    }
    HRESULT Call(const char* pszName)
    {
        return reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(Export(pszName))();
    }
    void GetClassObject(const CLSID& clsid, CPtr<IClassFactory>& factory)
    {
        auto pfn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            Export("DllGetClassObject"));
        ASSERT_EQ(S_OK, pfn(clsid, IID_IClassFactory, factory.Out()));
    }

    HMODULE hModule = nullptr;
};
} // namespace

TEST_F(TaskModule, CanUnloadOnlyWithoutObjectsAndLocks)
{
    EXPECT_EQ(S_OK, Call("DllCanUnloadNow"));
    CPtr<IClassFactory> factory;
    CPtr<ITask> task;
    ASSERT_NO_FATAL_FAILURE(GetClassObject(CLSID_HelloTask, factory));
    EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow"));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ITask, task.Out()));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow")); // the task and the lock
    task.Reset();
    EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow")); // the lock
    ASSERT_NO_FATAL_FAILURE(GetClassObject(CLSID_HelloTask, factory));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, Call("DllCanUnloadNow"));
}

TEST_F(TaskModule, ExceptionsBecomeFailures)
{
    const struct
    {
        const wchar_t* pszThrow;
        HRESULT hrInit;
    } cases[] = {
        {L"bad_alloc", E_OUTOFMEMORY},
        {L"hresult", E_ACCESSDENIED},
        {L"win32", E_FAIL}, // last error 0 would read as success
        {L"int", E_UNEXPECTED},
        {L"none", S_OK},
    };
    CPtr<IClassFactory> factory;
    ASSERT_NO_FATAL_FAILURE(GetClassObject(CLSID_ThrowingTask, factory));
    for (const auto& c : cases)
    {
        CPtr<ITask> task;
        CPtr<IXMLDOMElement> element;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ITask, task.Out()));
        ASSERT_NO_FATAL_FAILURE(MakeElement(L"Throw='" + std::wstring(c.pszThrow) + L"'", element));
        HANDLE hRegister = nullptr;
        TaskInstruction eInstruction = InstructionContinue;
        EXPECT_EQ(c.hrInit, task->Init(element.p, &hRegister)) << c.pszThrow;
        EXPECT_EQ(E_OUTOFMEMORY, task->Run(&eInstruction));
    }
}

TEST_F(TaskModule, RegistersEveryClassAndUnregisters)
{
    for (const HRESULT hrCreate : {S_OK, REGDB_E_CLASSNOTREG})
    {
        ASSERT_EQ(S_OK, Call(hrCreate == S_OK ? "DllRegisterServer" : "DllUnregisterServer"));
        for (const CLSID* pclsid : {&CLSID_HelloTask, &CLSID_ThrowingTask})
        {
            CPtr<ITask> task;
            EXPECT_EQ(hrCreate, CoCreateInstance(*pclsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                                                 task.Out()));
        }
    }
}
