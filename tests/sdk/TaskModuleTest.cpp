// The SDK's COM plumbing, on HelloTask.dll: two classes in one DLL that this
// test loads and registers itself.
#include "TaskHost.h"
#include "TestPaths.h"

TEST_F(ComTest, TaskModule)
{
    // As HelloTask.cpp defines them.
    const CLSID CLSID_HelloTask = {
        0x5afebdb9, 0xda2e, 0x4ad0, {0x9b, 0x1b, 0x95, 0x1a, 0xe4, 0xbd, 0x75, 0x29}};
    const CLSID CLSID_ThrowingTask = {
        0x96edf6af, 0xec6f, 0x4ee1, {0xb6, 0x2d, 0x11, 0xd0, 0x9d, 0xa9, 0xa2, 0x8b}};
    const std::string path = GetBinFolder() + "HelloTask.dll";
    const HMODULE hModule = ::LoadLibraryA(path.c_str());
    ASSERT_NE(nullptr, hModule);
    const auto call = [hModule](const char* pszName)
    { return reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(::GetProcAddress(hModule, pszName))(); };
    ASSERT_EQ(S_OK, call("DllRegisterServer"));
    const std::string key = "Software\\Classes\\CLSID\\{5AFEBDB9-DA2E-4AD0-9B1B-951AE4BD7529}";
    const char* const values[][3] = {{"", nullptr, "CHelloTask"},
                                     {"\\InprocServer32", nullptr, path.c_str()},
                                     {"\\InprocServer32", "ThreadingModel", "Apartment"}};
    for (const auto& value : values)
    {
        char szValue[MAX_PATH] = "";
        DWORD cb = sizeof(szValue);
        ::RegGetValueA(HKEY_LOCAL_MACHINE, (key + value[0]).c_str(), value[1], RRF_RT_REG_SZ,
                       nullptr, szValue, &cb);
        EXPECT_EQ(0, ::lstrcmpiA(value[2], szValue)) << value[0] << " " << szValue;
    }
    // An exception leaving Init or Run becomes a failure, never a success.
    const std::pair<const char*, HRESULT> cases[] = {
        {"bad_alloc", E_OUTOFMEMORY},
        {"hresult", E_ACCESSDENIED},
        {"win32", E_FAIL}, // a last error of 0 would read as success
        {"int", E_UNEXPECTED},
        {"none", S_OK},
    };
    for (const auto& c : cases)
    {
        const CAnswer answer = RunTask(CLSID_ThrowingTask, "Throw='" + std::string(c.first) + "'");
        EXPECT_EQ(c.second, answer.hrInit) << c.first;
        EXPECT_EQ(c.second == S_OK ? E_OUTOFMEMORY : E_UNEXPECTED, answer.hrRun) << c.first;
    }
    EXPECT_EQ(S_OK, RunTask(CLSID_HelloTask, "Text='hello'").hrRun);

    ASSERT_EQ(S_OK, call("DllUnregisterServer"));
    for (const CLSID* pclsid : {&CLSID_HelloTask, &CLSID_ThrowingTask})
    {
        CInterfacePtr<ITask> pifTask;
        EXPECT_EQ(REGDB_E_CLASSNOTREG,
                  ::CoCreateInstance(*pclsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                                     reinterpret_cast<void**>(pifTask.AcceptHere())));
    }
    ::FreeLibrary(hModule);
}
