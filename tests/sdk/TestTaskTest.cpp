// OstrelinTestTask as regsvr32 registered it and as the launcher calls it.
#include "SdkTestSupport.h"
#include "TestTaskClsid.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace
{
struct CAnswer
{
    HRESULT hrInit = E_UNEXPECTED, hrRun = E_UNEXPECTED;
    TaskInstruction eInstruction = InstructionContinue;
};

// A fresh task, created by CLSID: Init with the attributes, Run if Init accepted.
CAnswer InitAndRun(const std::wstring& strAttributes, HANDLE hRegister = nullptr,
                   HANDLE* phRegister = nullptr)
{
    CAnswer answer;
    CPtr<ITask> task;
    CPtr<IXMLDOMElement> element;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_OstrelinTestTask, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ITask, task.Out()));
    MakeElement(strAttributes, element);
    if (!task.p || !element.p)
        return answer;
    answer.hrInit = task->Init(element.p, phRegister ? phRegister : &hRegister);
    if (answer.hrInit == S_OK)
        answer.hrRun = task->Run(&answer.eInstruction);
    return answer;
}

using TestTask = CComTest;
} // namespace

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

TEST_F(TestTask, AnswersAsConfigured)
{
    const struct
    {
        const wchar_t* pszAttributes;
        HRESULT hrInit, hrRun;
        int nInstruction;
    } cases[] = {
        {L"", S_OK, S_OK, InstructionContinue},
        {L"InitResult='1'", S_FALSE, E_UNEXPECTED, 0},
        {L"InitResult='0x80004005'", E_FAIL, E_UNEXPECTED, 0},
        {L"InitResult='-2147024809'", E_INVALIDARG, E_UNEXPECTED, 0},
        {L"InitResult='0x100000000'", E_INVALIDARG, E_UNEXPECTED, 0}, // beyond 32 bits
        {L"Instruction='2x'", E_INVALIDARG, E_UNEXPECTED, 0},
        {L"RunResult='0x8007000E' Instruction='2'", S_OK, E_OUTOFMEMORY, InstructionStop},
        {L"RunResult='1' Instruction='1'", S_OK, S_FALSE, InstructionReload},
        {L"Instruction='3'", S_OK, S_OK, 3},
        {L"Instruction='-1' DelayMs='10'", S_OK, S_OK, -1},
        {L"Instruction='0xFFFFFFFE'", S_OK, S_OK, -2},
    };
    for (const auto& c : cases)
    {
        const CAnswer answer = InitAndRun(c.pszAttributes);
        EXPECT_EQ(c.hrInit, answer.hrInit) << c.pszAttributes;
        EXPECT_EQ(c.hrRun, answer.hrRun) << c.pszAttributes;
        EXPECT_EQ(c.nInstruction, answer.eInstruction) << c.pszAttributes;
    }
}

// Wine unloads at once in a single-threaded apartment; Windows may defer the
// unload by its default delay.
TEST_F(TestTask, CoFreeUnusedLibrariesUnloadsIt)
{
    InitAndRun(L"");
    EXPECT_NE(nullptr, GetModuleHandleW(L"OstrelinTestTask.dll"));
    CoFreeUnusedLibraries();
    EXPECT_EQ(nullptr, GetModuleHandleW(L"OstrelinTestTask.dll"));
}

TEST_F(TestTask, ClosesTheRegisterHandleOnlyWhenAsked)
{
    for (const bool fClose : {false, true})
    {
        HANDLE hMutex = CreateMutexW(nullptr, FALSE, nullptr);
        HANDLE hRegister = hMutex;
        InitAndRun(fClose ? L"CloseRegisterMutex='1'" : L"", nullptr, &hRegister);
        DWORD dwFlags = 0;
        EXPECT_EQ(fClose ? nullptr : hMutex, hRegister);
        EXPECT_EQ(!fClose, !!GetHandleInformation(hMutex, &dwFlags));
        if (hRegister)
            CloseHandle(hRegister);
    }
}

TEST_F(TestTask, ReloadsUntilTheCountThenStops)
{
    SetEnvironmentVariableW(L"OstrelinTestTaskReloads_Counted", nullptr);
    for (const TaskInstruction eExpected : {InstructionReload, InstructionReload, InstructionStop})
        EXPECT_EQ(eExpected, InitAndRun(L"Name='Counted' ReloadCount='2'").eInstruction);
}

TEST_F(TestTask, LogsWhatItSawAndOverlaps)
{
    // Another thread holds the overlap mutex during the first Run only.
    HANDLE hHeld = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder(
        [&]
        {
            HANDLE hMutex = CreateMutexW(nullptr, TRUE, L"OstrelinSdkTestOverlap");
            SetEvent(hHeld);
            WaitForSingleObject(hDone, INFINITE);
            CloseHandle(hMutex); // abandons it
        });
    WaitForSingleObject(hHeld, INFINITE);
    const std::wstring strLog =
        GetBinPath(L"sdk_tests_") + std::to_wstring(GetCurrentProcessId()) + L".log";
    const std::wstring strAttributes =
        L"Name='Alpha' LogMemory='1' OverlapMutex='OstrelinSdkTestOverlap' Log='" + strLog + L"'";
    InitAndRun(strAttributes, hHeld); // any non-NULL register handle
    SetEvent(hDone);
    holder.join();
    InitAndRun(strAttributes);
    CloseHandle(hHeld);
    CloseHandle(hDone);

    std::stringstream log;
    log << std::ifstream(strLog.c_str(), std::ios::binary).rdbuf();
    DeleteFileW(strLog.c_str());
    const std::string strInit = "init Alpha pid=" + std::to_string(GetCurrentProcessId());
    const std::string strRun =
        "run Alpha pid=" + std::to_string(GetCurrentProcessId()) +
        " instruction=0 runs=[1-9][0-9]* private=[1-9][0-9]* handles=[1-9][0-9]*";
    EXPECT_TRUE(std::regex_match(log.str(),
                                 std::regex(strInit + " register=1\r\n" + strRun + " overlap\r\n" +
                                            strInit + " register=0\r\n" + strRun + "\r\n")))
        << log.str();
}

TEST_F(TestTask, TimestampsPeakAndWaitForTheEvent)
{
    const std::wstring strLog =
        GetBinPath(L"sdk_tests_wait_") + std::to_wstring(GetCurrentProcessId()) + L".log";
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, L"OstrelinSdkTestWait");
    LARGE_INTEGER set = {}, returned = {};
    std::thread setter(
        [&]
        {
            // Set only once Run has written its line, that is, while it waits.
            for (;;)
            {
                std::ifstream log(strLog.c_str());
                std::string line;
                if (std::getline(log, line) && std::getline(log, line))
                    break;
                Sleep(10);
            }
            QueryPerformanceCounter(&set);
            SetEvent(hEvent);
        });
    InitAndRun(L"Name='Beta' Timestamp='1' LogPeak='1' WaitEvent='OstrelinSdkTestWait' Log='" +
               strLog + L"'");
    QueryPerformanceCounter(&returned);
    setter.join();
    CloseHandle(hEvent);
    EXPECT_LT(set.QuadPart, returned.QuadPart) << "Run returned before the event was set";

    std::stringstream log;
    log << std::ifstream(strLog.c_str(), std::ios::binary).rdbuf();
    DeleteFileW(strLog.c_str());
    std::smatch match;
    const std::string strLines = log.str();
    ASSERT_TRUE(std::regex_match(strLines, match,
                                 std::regex("init Beta pid=[0-9]+ register=0 qpc=([0-9]+)\r\n"
                                            "run Beta pid=[0-9]+ instruction=0 runs=[0-9]+ "
                                            "peak=[1-9][0-9]* qpc=([0-9]+)\r\n")))
        << strLines;
    EXPECT_LE(std::stoll(match[1]), std::stoll(match[2]));
    EXPECT_LE(std::stoll(match[2]), set.QuadPart);
}
