// StartProgram: starts a program, as an installation starts its client.
//
//   <StartClient CLSID="{80E8DBC2-87FA-4389-80BF-632FE5E394A2}"
//                Program="..\client\Casino.exe" Arguments="-lobby" Then="stop"/>
//
//   Program           the program file (required)
//   Arguments         the rest of its command line, verbatim
//   WorkingDirectory  its current directory; default: the program's own folder
//   Wait              yes: Run returns when the program has ended; no (default)
//   TimeoutSeconds    with Wait="yes": the longest wait; then Run fails with
//                     ERROR_TIMEOUT and the program keeps running
//   Then              continue (default): the next task runs; stop: the run ends
//
// Relative paths start at the folder of Config.xml. A program that cannot be
// started fails Run with the HRESULT of the Win32 error.
#include "OstrelinTask.h"
#include "TaskClsid.h" // CLSID_Task, made from CMakeLists.txt
#include "TaskConfig.h"
#include "TaskPaths.h"

#include "CoreError.h"
#include "CoreHandle.h"

using namespace OstrelinSdk;

class CStartProgramTask : public CTaskBase
{
    std::wstring m_strProgram, m_strArguments, m_strWorkingDirectory;
    bool m_fWait = false, m_fStop = false;
    DWORD m_nTimeoutMs = INFINITE;
    HRESULT m_hrConfig = S_OK;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        CTaskConfig config("StartProgram", pElement);
        m_strProgram = config.GetText(L"Program", true);
        m_strArguments = config.GetText(L"Arguments");
        m_strWorkingDirectory = config.GetText(L"WorkingDirectory");
        m_fWait = config.GetChoice(L"Wait", {L"no", L"yes"}, 0) == 1;
        m_nTimeoutMs = config.GetSecondsAsMs(L"TimeoutSeconds", INFINITE);
        m_fStop = config.GetChoice(L"Then", {L"continue", L"stop"}, 0) == 1;
        m_hrConfig = config.GetResult();
        return S_OK; // a faulty element fails Run, where the launcher reports it
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CHECK_HRESULT(m_hrConfig);
        const std::wstring strProgram = ResolveTaskPath(m_strProgram);
        const std::wstring strFolder = m_strWorkingDirectory.empty()
                                           ? strProgram.substr(0, strProgram.rfind(L'\\') + 1)
                                           : ResolveTaskPath(m_strWorkingDirectory);
        std::wstring strCommandLine = L"\"" + strProgram + L"\"";
        if (!m_strArguments.empty())
            strCommandLine += L" " + m_strArguments;
        TraceTaskText("StartProgram", L"starting " + strCommandLine + L" in " + strFolder);

        // Checked first: a missing program would otherwise read as a bad
        // working directory, its own folder.
        CHECK_WIN32(::GetFileAttributesW(strProgram.c_str()) != INVALID_FILE_ATTRIBUTES);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        const BOOL fStarted =
            // The launcher's error mode (no crash boxes) is for itself, not for the program.
            ::CreateProcessW(strProgram.c_str(), &strCommandLine[0], nullptr, nullptr, FALSE,
                             CREATE_DEFAULT_ERROR_MODE, nullptr, strFolder.c_str(), &startup,
                             &process);
        CHECK_WIN32(fStarted);
        const CUniqueHandle hProcess(process.hProcess), hThread(process.hThread);
        if (m_fWait)
            WaitForExit(hProcess.Get());

        eInstruction = m_fStop ? InstructionStop : InstructionContinue;
        return S_OK;
    }

    // Waits with COM's wait, which keeps the launcher's apartment answering
    // window messages meanwhile.
    void WaitForExit(HANDLE hProcess) const
    {
        DWORD iSignaled = 0;
        HRESULT hrWait = ::CoWaitForMultipleHandles(0, m_nTimeoutMs, 1, &hProcess, &iSignaled);
        if (hrWait == RPC_S_CALLPENDING)
            hrWait = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        CHECK_HRESULT(hrWait);
        DWORD dwExitCode = 0;
        ::GetExitCodeProcess(hProcess, &dwExitCode);
        TraceTaskText("StartProgram", L"ended with exit code " + std::to_wstring(dwExitCode));
    }
};

OSTRELIN_TASK_CLASS(CStartProgramTask, CLSID_Task);
