// OstrelinTestTask: a task whose behaviour its configuration element sets, for
// tests and benchmarks of the launcher. The developers' guide ("The test task") lists its
// attributes and the lines it logs.
#include "CoreBSTR.h"
#include "CoreError.h"
#include "CoreHandle.h"
#include "ScopeExit.h"
#include "OstrelinTask.h"
#include "TestTaskClsid.h"

#include <psapi.h>

#include <cstdlib>
#include <cwchar>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

using namespace OstrelinSdk;

namespace
{
LONG g_cRuns = 0; // since this copy of the DLL was loaded
const DWORD nLongestEventWaitMs = 60000;

// With TellUnload, a record when the DLL is unloaded: an end that must be at
// once lets no unloading code run.
LONG g_fTellUnload = 0;
struct CUnloadTeller
{
    ~CUnloadTeller()
    {
        if (g_fTellUnload)
            OutputDebugStringA("OstrelinTestTask: unloaded\n");
    }
} g_unloadTeller;

std::string ReadCounter()
{
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    return std::to_string(counter.QuadPart);
}

// Decimal or 0x hex, signed or unsigned, within 32 bits.
bool ParseNumber(const std::wstring& strText, LONG& nValue)
{
    const wchar_t* psz = strText.c_str();
    const wchar_t* pszDigits = (*psz == L'-' || *psz == L'+') ? psz + 1 : psz;
    const int nBase =
        (pszDigits[0] == L'0' && (pszDigits[1] == L'x' || pszDigits[1] == L'X')) ? 16 : 10;
    wchar_t* pszEnd = nullptr;
    const long long n = std::wcstoll(psz, &pszEnd, nBase);
    if (strText.empty() || *pszEnd != L'\0' || n < -0x80000000LL || n > 0xFFFFFFFFLL)
        return false;
    nValue = static_cast<LONG>(static_cast<ULONG>(n));
    return true;
}

std::string ToAnsi(const std::wstring& str)
{
    return TextFromWide(str.c_str(), static_cast<int>(str.size()), CP_ACP).GetString();
}

void AppendLine(const std::wstring& strPath, std::string strLine)
{
    if (strPath.empty())
        return;
    strLine += "\r\n";
    // One append write per line, so that lines of several processes stay whole.
    const CUniqueFileHandle hFile(CreateFileW(strPath.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD cbWritten = 0;
    if (hFile)
        WriteFile(hFile.Get(), strLine.data(), static_cast<DWORD>(strLine.size()), &cbWritten,
                  nullptr);
}

// Wine answers 0 for the handle count: then count the handle values, among the
// first 1024, that name a handle.
DWORD CountHandles()
{
    DWORD cHandles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &cHandles) && cHandles > 0)
        return cHandles;
    DWORD dwFlags = 0;
    for (ULONG_PTR nValue = 4; nValue < 4 * 1024; nValue += 4)
    {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(nValue), &dwFlags))
            ++cHandles;
    }
    return cHandles;
}

// Deep enough for any stack; the depth is read at run time so that the
// compiler cannot see the recursion never ends.
volatile LONG g_nStackDepth = 0x7FFFFFFF;
LONG Recurse(LONG nDepth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(nDepth);
    return nDepth == 0 ? 0 : Recurse(nDepth - 1) + frame[0];
}

volatile int* volatile g_pnNowhere = nullptr;
DWORD g_dwCrashingThread = 0;

DWORD WINAPI CrashSoon(void*)
{
    Sleep(10);
    *g_pnNowhere = 2;
    return 0;
}

// Faults on a record that another thread writes: the launcher's crash report.
LONG CALLBACK FaultOnOthersRecord(EXCEPTION_POINTERS* pInfo)
{
    if (pInfo->ExceptionRecord->ExceptionCode == 0x40010006 /* DBG_PRINTEXCEPTION_C */ &&
        GetCurrentThreadId() != g_dwCrashingThread)
        *g_pnNowhere = 3;
    return EXCEPTION_CONTINUE_SEARCH;
}

// Takes the record that badprint raises, as a debugger would, so that the task goes on.
LONG CALLBACK TakeBadRecord(EXCEPTION_POINTERS* pInfo)
{
    const EXCEPTION_RECORD& record = *pInfo->ExceptionRecord;
    return record.ExceptionCode == 0x40010006 && record.NumberParameters >= 2 &&
                   record.ExceptionInformation[1] == 0x10
               ? EXCEPTION_CONTINUE_EXECUTION
               : EXCEPTION_CONTINUE_SEARCH;
}

// The crashes the launcher must end itself on: access, divide, raise, stack;
// twothreads (a second thread crashes while the first crash is reported),
// inreport (the report's own record faults); and badprint, a debug-output
// record whose text cannot be read, which the task then goes on from.
void Crash(const std::wstring& strKind)
{
    // Volatile all through, or the compiler drops the write and the division.
    volatile int* volatile pnNowhere = nullptr;
    volatile int nTen = 10, nZero = 0;
    if (strKind == L"badprint")
    {
        void* const pHandler = AddVectoredExceptionHandler(0, TakeBadRecord);
        const ULONG_PTR arguments[] = {100, 0x10};
        RaiseException(0x40010006, 0, 2, arguments);
        RemoveVectoredExceptionHandler(pHandler);
        return;
    }
    if (strKind == L"twothreads")
        CloseHandle(CreateThread(nullptr, 0, CrashSoon, nullptr, 0, nullptr));
    if (strKind == L"inreport")
    {
        g_dwCrashingThread = GetCurrentThreadId();
        AddVectoredExceptionHandler(1, FaultOnOthersRecord);
    }
    if (strKind == L"access" || strKind == L"twothreads" || strKind == L"inreport")
        *pnNowhere = 1;
    else if (strKind == L"divide")
        nZero = nTen / nZero;
    else if (strKind == L"raise")
        RaiseException(0xE0000042, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    else if (strKind == L"stack")
        Recurse(g_nStackDepth);
}
} // namespace

class CTestTask : public CTaskBase
{
    // The ITask the launcher gets: the SDK's, except that Escape leaves Run.
    struct CEscapingRun : ITask
    {
        explicit CEscapingRun(CTestTask* pTask) : m_pTask(pTask) {}
        CTestTask* m_pTask;

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
        {
            return m_pTask->QueryInterface(riid, ppv);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return m_pTask->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_pTask->Release(); }
        HRESULT STDMETHODCALLTYPE Init(IXMLDOMElement* pElement, HANDLE* phRegister) override
        {
            return m_pTask->Init(pElement, phRegister);
        }
        HRESULT STDMETHODCALLTYPE Run(TaskInstruction* peInstruction) override
        {
            const HRESULT hr = m_pTask->Run(peInstruction);
            if (!m_pTask->m_strEscape.empty())
                throw std::runtime_error(ToAnsi(m_pTask->m_strEscape));
            return hr;
        }
    } m_escapingRun{this};

public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr || !IsEqualIID(riid, IID_ITask))
            return CTaskBase::QueryInterface(riid, ppv);
        *ppv = &m_escapingRun;
        AddRef();
        return S_OK;
    }

private:
    std::wstring m_strName = L"-", m_strLog, m_strOverlapMutex, m_strCopyFrom, m_strCopyTo;
    std::wstring m_strWaitEvent, m_strThrow, m_strEscape, m_strCrash;
    LONG m_hrInit = S_OK, m_hrRun = S_OK, m_nInstruction = 0, m_nReloadCount = 0;
    LONG m_nDelayMs = 0, m_nTerminate = 0, m_fCloseRegister = 0, m_nLogMemory = 0, m_fPin = 0;
    LONG m_fLogPeak = 0, m_fTimestamp = 0, m_fAbort = 0;
    bool m_fInstruction = false, m_fReloadCount = false, m_fTerminate = false;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* phRegisterMutex) override
    {
        const std::string strEntered = ReadCounter(); // before any work of the task's own
        std::wstring strText;
        if (GetTaskAttribute(pElement, L"Name", strText))
            m_strName = strText;
        GetTaskAttribute(pElement, L"Log", m_strLog);
        GetTaskAttribute(pElement, L"OverlapMutex", m_strOverlapMutex);
        GetTaskAttribute(pElement, L"CopyFrom", m_strCopyFrom);
        GetTaskAttribute(pElement, L"CopyTo", m_strCopyTo);
        GetTaskAttribute(pElement, L"WaitEvent", m_strWaitEvent);
        GetTaskAttribute(pElement, L"Throw", m_strThrow);
        GetTaskAttribute(pElement, L"Escape", m_strEscape);
        GetTaskAttribute(pElement, L"Crash", m_strCrash);
        if (GetTaskAttribute(pElement, L"CurrentFolder", strText))
            SetCurrentDirectoryW(strText.c_str());
        if (GetTaskAttribute(pElement, L"InitCrash", strText))
            Crash(strText);
        const struct
        {
            const wchar_t* pszName;
            LONG* pnValue;
            bool* pfPresent;
        } numbers[] = {
            {L"InitResult", &m_hrInit, nullptr},
            {L"RunResult", &m_hrRun, nullptr},
            {L"Instruction", &m_nInstruction, &m_fInstruction},
            {L"ReloadCount", &m_nReloadCount, &m_fReloadCount},
            {L"DelayMs", &m_nDelayMs, nullptr},
            {L"Terminate", &m_nTerminate, &m_fTerminate},
            {L"CloseRegisterMutex", &m_fCloseRegister, nullptr},
            {L"LogMemory", &m_nLogMemory, nullptr},
            {L"Pin", &m_fPin, nullptr},
            {L"LogPeak", &m_fLogPeak, nullptr},
            {L"Timestamp", &m_fTimestamp, nullptr},
            {L"Abort", &m_fAbort, nullptr},
            {L"TellUnload", &g_fTellUnload, nullptr},
        };
        for (const auto& number : numbers)
        {
            const bool fPresent = GetTaskAttribute(pElement, number.pszName, strText);
            if (fPresent && !ParseNumber(strText, *number.pnValue))
                return E_INVALIDARG;
            if (number.pfPresent)
                *number.pfPresent = fPresent;
        }

        const bool fRegister = phRegisterMutex && *phRegisterMutex;
        AppendLine(m_strLog, "init " + ToAnsi(m_strName) +
                                 " pid=" + std::to_string(GetCurrentProcessId()) +
                                 " register=" + (fRegister ? "1" : "0") +
                                 (m_fTimestamp ? " qpc=" + strEntered : ""));
        HMODULE hSelf = nullptr;
        if (m_fPin)
            GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN |
                                   GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                               reinterpret_cast<LPCWSTR>(&g_cRuns), &hSelf);
        if (m_fCloseRegister && fRegister)
            CUniqueHandle(std::exchange(*phRegisterMutex, nullptr)).Close();
        return m_hrInit;
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        const std::string strEntered = ReadCounter();
        // The overlap mutex is owned while Run runs, when it was free (WAIT_TIMEOUT: it was not).
        const CUniqueHandle hOverlap(m_strOverlapMutex.empty()
                                         ? nullptr
                                         : CreateMutexW(nullptr, FALSE, m_strOverlapMutex.c_str()));
        const DWORD dwOverlap = hOverlap ? WaitForSingleObject(hOverlap.Get(), 0) : WAIT_FAILED;
        const CScopeExit releaseOverlap(
            [&]
            {
                if (dwOverlap == WAIT_OBJECT_0 || dwOverlap == WAIT_ABANDONED)
                    ReleaseMutex(hOverlap.Get());
            });
        std::string strLine = "run " + ToAnsi(m_strName) +
                              " pid=" + std::to_string(GetCurrentProcessId()) +
                              " instruction=" + std::to_string(eInstruction) +
                              " runs=" + std::to_string(InterlockedIncrement(&g_cRuns));
        if (m_nLogMemory > 0 && ReloadsCounted() % m_nLogMemory == 0)
        {
            // The commit charge: PrivateUsage on Windows, which Wine leaves 0.
            PROCESS_MEMORY_COUNTERS counters = {};
            GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
            strLine += " private=" + std::to_string(counters.PagefileUsage) +
                       " handles=" + std::to_string(CountHandles());
        }
        if (m_fLogPeak)
        {
            PROCESS_MEMORY_COUNTERS counters = {};
            GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
            strLine += " peak=" + std::to_string(counters.PeakWorkingSetSize);
        }
        if (m_fTimestamp)
            strLine += " qpc=" + strEntered;
        if (dwOverlap == WAIT_TIMEOUT)
            strLine += " overlap";
        AppendLine(m_strLog, strLine);

        if (!m_strWaitEvent.empty())
        {
            const CUniqueHandle hEvent(CreateEventW(nullptr, TRUE, FALSE, m_strWaitEvent.c_str()));
            if (hEvent)
                WaitForSingleObject(hEvent.Get(), nLongestEventWaitMs);
        }
        if (m_nDelayMs > 0)
            Sleep(static_cast<DWORD>(m_nDelayMs));
        if (m_fTerminate)
            TerminateProcess(GetCurrentProcess(), static_cast<UINT>(m_nTerminate));
        // Exceptions for the SDK's barrier to turn into failure HRESULTs.
        if (m_strThrow == L"bad_alloc")
            throw std::bad_alloc();
        if (m_strThrow == L"hresult")
            CHECK_HRESULT(E_ACCESSDENIED);
        if (m_strThrow == L"win32")
        {
            SetLastError(ERROR_SUCCESS);
            CHECK_WIN32(false);
        }
        if (m_strThrow == L"other")
            throw 1;
        if (m_fAbort)
            std::abort();
        Crash(m_strCrash);
        if (!m_strCopyFrom.empty() && !CopyFileW(m_strCopyFrom.c_str(), m_strCopyTo.c_str(), FALSE))
            return HRESULT_FROM_WIN32(GetLastError());

        if (m_fReloadCount)
            eInstruction = CountReload() ? InstructionReload : InstructionStop;
        else if (m_fInstruction)
            eInstruction = static_cast<TaskInstruction>(m_nInstruction);
        return m_hrRun;
    }

    std::wstring ReloadVariable() const { return L"OstrelinTestTaskReloads_" + m_strName; }

    // Reloads asked so far in this process (0 without ReloadCount).
    long ReloadsCounted() const
    {
        wchar_t szCount[16] = {};
        GetEnvironmentVariableW(ReloadVariable().c_str(), szCount, ARRAYSIZE(szCount));
        return std::wcstol(szCount, nullptr, 10);
    }

    // True, and one more reload counted, while fewer than ReloadCount were asked.
    bool CountReload() const
    {
        const long cReloads = ReloadsCounted();
        if (cReloads >= m_nReloadCount)
            return false;
        SetEnvironmentVariableW(ReloadVariable().c_str(), std::to_wstring(cReloads + 1).c_str());
        return true;
    }
};

#ifdef OSTRELIN_MANIFEST_TEST_TASK
OSTRELIN_TASK_CLASS(CTestTask, CLSID_OstrelinManifestTestTask);
#else
OSTRELIN_TASK_CLASS(CTestTask, CLSID_OstrelinTestTask);
#endif
