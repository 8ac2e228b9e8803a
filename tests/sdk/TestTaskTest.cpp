// OstrelinTestTask as regsvr32 registered it and as the launcher calls it.
#include "SdkTestSupport.h"
#include "TestTaskClsid.h"

using TestTask = CComTest;

TEST(TestTaskRegistration, RegsvrWroteInprocServer)
{
    const std::wstring strKey =
        L"Software\\Classes\\CLSID\\" +
        std::wstring(std::begin(szOstrelinTestTaskClsid), std::end(szOstrelinTestTaskClsid) - 1) +
        L"\\InprocServer32";
    for (const auto& value : {std::make_pair(L"", GetBinPath(L"OstrelinTestTask.dll")),
                              std::make_pair(L"ThreadingModel", std::wstring(L"Apartment"))})
    {
        wchar_t szValue[MAX_PATH] = {};
        DWORD cb = sizeof(szValue);
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, strKey.c_str(), value.first,
                                              RRF_RT_REG_SZ, nullptr, szValue, &cb));
        EXPECT_EQ(0, lstrcmpiW(value.second.c_str(), szValue)) << value.first;
    }
}

// Wine unloads at once in a single-threaded apartment; Windows may defer the
// unload by its default delay.
TEST_F(TestTask, CoFreeUnusedLibrariesUnloadsIt)
{
    RunTask(CLSID_OstrelinTestTask, L"");
    EXPECT_NE(nullptr, GetModuleHandleW(L"OstrelinTestTask.dll"));
    CoFreeUnusedLibraries();
    EXPECT_EQ(nullptr, GetModuleHandleW(L"OstrelinTestTask.dll"));
}
